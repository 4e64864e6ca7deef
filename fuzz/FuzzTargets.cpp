#include "fuzz/FuzzTargets.h"

#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "metadata/notes/IptcRecord.h"
#include "pattern/ThreadScheme.h"
#include "platform/DateMask.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"
#include "stamping/Heif.h"
#include "stamping/Jpeg.h"
#include "stamping/PhotoDate.h"
#include "stamping/Picture.h"
#include "stamping/TimeCorrection.h"
#include "stamping/lossless/LosslessStamp.h"
#include "stamping/lossless/McuCoding.h"
#include "support/ExifBuilder.h"
#include "support/TestJpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>

namespace morvik::fuzz {

namespace {

// Fixed regional settings, so that an input replays the same way anywhere.
void UseFixedFormatSettings()
{
    static const bool done = [] {
        FormatSettings() = TFormatSettings{};
        return true;
    }();
    (void)done;
}

// Reads the bytes through the whole metadata reader as a file of that name and renders
// everything the report shows.
const char* ReadAndRender(const std::string& fileName, std::string_view bytes)
{
    UseFixedFormatSettings();
    PhotoMetadata data(ParseModeFull);
    try {
        data.ReadMetadataFromMemory(fileName, bytes);
    } catch (...) {
        return "the metadata reader let an exception escape";
    }
    if (data.SectionCount < 0 || data.SectionCount > 20)
        return "more than 20 sections";
    if (data.Outcome.Faulted())
        return "the reader met a fault of its own (out of memory or a program fault)";
    volatile size_t sink = 0;
    if (data.ExifInfo) {
        const ExifDirectory& info = *data.ExifInfo;
        // A block of at most 64 KiB (a TIFF block of at most 64 MiB) keeps no more than the
        // walk's budget for values and texts allows, however its notes point at each other.
        constexpr size_t kMaxKeptBytes = 160u << 20;
        size_t kept = info.ListingText.size() + info.MakerListingText.size();
        for (const TagEntry& e : info.TagList)
            kept += sizeof e + e.RawBytes.size() + e.ValueText.size();
        if (kept > kMaxKeptBytes)
            return "the reading kept more than the walk's budget";
        sink = data.SummaryText().size() + info.ListingText.size() + info.MakerListingText.size();
        for (const TagEntry& e : info.TagList)
            sink = sink + info.TagText(e.TagName.Str()).size();
    }
    if (data.IptcSection) {
        IptcRecord iptc;
        iptc.ParseResource(data.IptcSection->Data);
        for (int i = 0; i < iptc.Count(); ++i)
            sink = sink + iptc.GetValue(iptc.EntryAt(i).TagName.Str(), "").size();
    }
    (void)sink;
    return nullptr;
}

size_t CodePoints(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::optional<std::string> Kept(const JpegSection* s)
{
    if (s == nullptr)
        return std::nullopt;
    return std::string(1, '\xFF') + char(s->Marker & 0xFF) + s->Data;
}

bool InDimension(int64_t pos, const ExifDirectory* info)
{
    if (info == nullptr)
        return false;
    for (int64_t at : {int64_t(info->HeightPos), int64_t(info->WidthPos)})
        if (at > 0 && pos >= at && pos < at + 4)
            return true;
    return false;
}

const std::string& WriterOutputPath()
{
    static const std::string path = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/morvik-fuzz-writer-" + std::to_string(::getpid()) + ".jpg";
    }();
    return path;
}

}  // namespace

const std::vector<NamedTarget>& Targets()
{
    static const std::vector<NamedTarget> targets = {
        {"fuzz_jpeg_sections", JpegSections},   {"fuzz_tiff_reader", TiffReader},
        {"fuzz_exif_makernotes", ExifMakerNotes}, {"fuzz_iptc", Iptc},
        {"fuzz_date_mask", DateMask},           {"fuzz_correction_text", CorrectionText},
        {"fuzz_writer_roundtrip", WriterRoundTrip}, {"fuzz_lossless_splice", LosslessSplice},
        {"fuzz_picture_decode", PictureDecode},
        {"fuzz_heif_exif", HeifExif},           {"fuzz_thread_scheme", ThreadSchemeText},
    };
    return targets;
}

std::string LosslessSpliceInput(int left, int top, int width, int height, bool keepMetadata, const std::string& jpeg)
{
    return std::string{char(left / 4), char(top / 4), char(width), char(height), char(keepMetadata)} + jpeg;
}

namespace {

// Whether a baseline scan's coded data ends within the last byte before its end marker
// (true for what is not a baseline scan or cannot be read: libjpeg judges those).
bool ScanEndsAtItsMarker(std::string_view jpeg)
{
    try {
        const lossless::JpegStructure s = lossless::ReadJpegStructure(jpeg);
        if (!s.ReEncodeReason.empty())
            return true;
        // The last restart interval, found by the markers before it.
        size_t begin = s.ScanStart;
        int64_t first = 0;
        for (;;) {
            const size_t marker = lossless::FindMarker(jpeg, begin);
            if (s.RestartInterval == 0 || marker + 1 >= jpeg.size() || (uint8_t(jpeg[marker + 1]) & 0xF8) != 0xD0)
                break;
            begin = marker + 2;
            first += s.RestartInterval;
        }
        lossless::BitReader in(jpeg, begin, jpeg.size());
        const lossless::McuDecoder decoder(s);
        std::array<int, 4> pred{};
        for (int64_t mcu = first; mcu < s.McuCount(); ++mcu)
            decoder.Decode(in, pred, nullptr);
        const lossless::BitPos end = in.Here();
        return lossless::FindMarker(jpeg, end.Byte) == end.Byte + (end.Bit > 0 ? 1 : 0);
    } catch (const Exception&) {
        return true;
    }
}

// Whether a frame of `pixels` is far larger than the JPEG's data could hold. Huffman data
// holds a bit for each block of the first scan at least; a component may be sampled down
// to a sixteenth. Arithmetic coding (SOF9, SOF10, DAC) may hold less and is left out.
bool FarLargerThanItsData(std::string_view jpeg, uint64_t pixels)
{
    const bool arithmetic = jpeg.find("\xFF\xC9") != std::string_view::npos ||
                            jpeg.find("\xFF\xCA") != std::string_view::npos ||
                            jpeg.find("\xFF\xCC") != std::string_view::npos;
    return !arithmetic && pixels > uint64_t(64 * 16 * 8) * jpeg.size() + 65536;
}

// Whether skipping MCUs (several codes a table entry) and decoding them code by code
// agree on the source's first restart interval: the same bit and DC predictions after
// every MCU, or the same MCU found corrupt.
bool SkipAgreesWithDecode(std::string_view jpeg)
{
    lossless::JpegStructure s;
    std::optional<lossless::McuDecoder> coder;
    try {
        s = lossless::ReadJpegStructure(jpeg);
        if (!s.ReEncodeReason.empty())
            return true;
        coder.emplace(s);
    } catch (const Exception&) {
        return true;
    }
    const lossless::McuDecoder& decoder = *coder;
    const size_t end = lossless::FindMarker(jpeg, s.ScanStart);
    lossless::BitReader skipping(jpeg, s.ScanStart, end), decoding(jpeg, s.ScanStart, end);
    std::array<int, 4> skipPred{}, decodePred{};
    std::vector<lossless::Coef> blocks(decoder.Blocks() * lossless::kBlockSize);
    const int64_t count = std::min<int64_t>(s.RestartInterval > 0 ? s.RestartInterval : s.McuCount(), 1 << 14);
    for (int64_t mcu = 0; mcu < count; ++mcu) {
        bool skipFailed = false, decodeFailed = false;
        try {
            decoder.Skip(skipping, skipPred, 1);
        } catch (const lossless::ECorruptScan&) {
            skipFailed = true;
        }
        try {
            decoder.Decode(decoding, decodePred, blocks.data());
        } catch (const lossless::ECorruptScan&) {
            decodeFailed = true;
        }
        if (skipFailed || decodeFailed)
            return skipFailed == decodeFailed;
        if (!(skipping.Here() == decoding.Here()) || skipPred != decodePred)
            return false;
    }
    return true;
}

}  // namespace

const char* LosslessSplice(std::string_view input)
{
    if (input.size() < 5)
        return nullptr;
    const auto byte = [&](size_t i) { return uint8_t(input[i]); };
    const PixelBox box{int(int8_t(byte(0))) * 4, int(int8_t(byte(1))) * 4, int(int8_t(byte(0))) * 4 + byte(2) % 65,
                       int(int8_t(byte(1))) * 4 + byte(3) % 65};
    const std::string_view jpeg = input.substr(5);
    if (!SkipAgreesWithDecode(jpeg))
        return "skipping MCUs and decoding them disagree on where they end";
    const RegionPainter paint = [box](Picture& region, int originX, int originY) {
        region.FillRect(box.Left - originX, box.Top - originY, box.Right - originX, box.Bottom - originY,
                        RgbColor(250, 20, 120));
    };
    LosslessOutcome out;
    try {
        out = StampLossless(jpeg, {box, paint, (byte(4) & 1) != 0});
    } catch (const EJPEG&) {
        return nullptr;
    } catch (const EPictureTooLarge&) {
        return nullptr;
    } catch (...) {
        return "the lossless stamp let an unexpected exception escape";
    }
    if (out.Way == LosslessWay::ReEncode)
        return out.Reason.empty() ? "re-encoding reported without a reason" : nullptr;
    // libjpeg's own reading, warnings counted: a source it reads without one gives an
    // output it reads without one (no extraneous bytes before the end marker, no damage
    // the splice made). Larger pictures only cost time.
    try {
        const JpegDecoder header = JpegDecoder::InPlace(jpeg);
        const uint64_t pixels = uint64_t(header.Width()) * uint64_t(header.Height());
        if (FarLargerThanItsData(jpeg, pixels))
            return "a frame far larger than its data was stamped without loss";
        if (pixels > 4 << 20)
            return nullptr;
    } catch (const Exception&) {
        return nullptr;
    }
    auto clean = [](std::string_view bytes) {
        const test::LibjpegDecode d = test::DecodeWithLibjpeg(std::string(bytes));
        return d.Decoded && !d.Warned;
    };
    if (!clean(jpeg))
        return nullptr;
    const test::LibjpegDecode stamped = test::DecodeWithLibjpeg(out.Jpeg);
    if (!stamped.Decoded || (stamped.Warned && !stamped.WarnedOfExtraneousBytesOnly))
        return "libjpeg warns on the stamped file or cannot decode it";
    // Bytes before the end marker: libjpeg counts them or not by how far its reading ran
    // ahead, and a mutated source may be read one way by it and another by us; the
    // splice's own decoder, which reads both files alike, says where the data ends.
    if (ScanEndsAtItsMarker(jpeg) && !ScanEndsAtItsMarker(out.Jpeg))
        return "the stamped file has bytes between its coded data and its end marker";
    return nullptr;
}

const char* PictureDecode(std::string_view input)
{
    try {
        JpegDecoder decoder = JpegDecoder::InPlace(input);
        const uint64_t pixels = uint64_t(decoder.Width()) * uint64_t(decoder.Height());
        decoder.Decode();
        if (FarLargerThanItsData(input, pixels))
            return "a picture far larger than its data was decoded";
    } catch (const Exception&) {
        return nullptr;  // refused with its message
    }
    return nullptr;
}

Target FindTarget(std::string_view name)
{
    for (const NamedTarget& t : Targets())
        if (name == t.Name)
            return t.Run;
    return nullptr;
}

const char* JpegSections(std::string_view input) { return ReadAndRender("x.jpg", input); }

const char* TiffReader(std::string_view input) { return ReadAndRender("x.tif", input); }

const char* ExifMakerNotes(std::string_view input)
{
    std::string name;
    const std::string file = MakerNoteFile(input, name);
    return ReadAndRender(name, file);
}

const char* Iptc(std::string_view input)
{
    IptcRecord iptc;
    iptc.ParseResource(input);
    if (iptc.Count() < 0 || iptc.Count() > iptc.Capacity())
        return "entry count outside the allocated entries";
    for (int i = 0; i < iptc.Count(); ++i) {
        const std::string value = iptc.GetValue(iptc.EntryAt(i).TagName.Str(), "");
        // A comma list read back and written again reads the same.
        const std::vector<std::string> items = ReadCommaList(value);
        if (ReadCommaList(WriteCommaList(items)) != items)
            return "a comma list does not survive being written and read again";
    }
    return nullptr;
}

const char* DateMask(std::string_view input)
{
    if (input.size() < 8)
        return nullptr;
    double value;
    std::memcpy(&value, input.data(), 8);
    const std::string_view mask = input.substr(8);
    static const TFormatSettings english = TFormatSettings::English();
    static const TFormatSettings russian = TFormatSettings::Russian();
    for (const TFormatSettings* settings : {&english, &russian}) {
        const std::string text = FormatDateTime(mask, value, *settings);
        if (CodePoints(text) > DateMaskMaxLength)
            return "a date mask result longer than its limit";
    }
    return nullptr;
}

const char* CorrectionText(std::string_view input)
{
    UseFixedFormatSettings();
    TDateTime correction = 0;
    try {
        correction = CorrectionFromText(input);
    } catch (const EConvertError&) {
        return nullptr;
    } catch (...) {
        return "a failure other than EConvertError";
    }
    if (input.size() != 8 || !(correction >= 0 && correction < 1))
        return "a correction outside a day was accepted";
    const TDateTime date = 39309.5;  // 15.08.2007 12:00:00
    const TDateTime back = ApplyCorrection(ApplyCorrection(date, correction, 0), correction, 1);
    if (std::fabs(back - date) > 1e-9)
        return "adding and subtracting a correction does not come back";
    (void)StampDateText(ApplyCorrection(date, correction, 0));
    return nullptr;
}

const char* WriterRoundTrip(std::string_view input)
{
    UseFixedFormatSettings();
    PhotoMetadata source(ParseModeFull);
    source.ReadMetadataFromMemory("x.jpg", input);

    // A block read from a TIFF file is not a JPEG section and is not carried.
    const std::optional<std::string> exif = Kept(source.CarriedExifSection());
    if (source.ExifSection && !exif && source.ReadAs != PictureFileKind::Tiff)
        return "a JPEG's EXIF section is not carried";
    const std::optional<std::string> app0 = Kept(source.App0Section);
    const std::optional<std::string> iptc = Kept(source.IptcSection);
    const std::optional<std::string> comment = Kept(source.CommentSection);

    const std::string& picture = SmallEncodedPicture();
    const std::string& path = WriterOutputPath();
    try {
        source.WriteJpegWithExif(picture, 16, 8, path, true);
    } catch (...) {
        return "the write failed";
    }
    const std::string out = ReadWholeFile(path, std::string().max_size(), false);
    std::remove(path.c_str());

    // SOI, the EXIF block (else APP0, else a JFIF header), IPTC, comment, the picture
    // without its own SOI and JFIF header.
    if (out.compare(0, 2, "\xFF\xD8") != 0)
        return "no SOI";
    size_t p = 2;
    if (exif) {
        if (out.size() < p + exif->size())
            return "the EXIF block is cut";
        for (size_t i = 0; i < exif->size(); ++i) {
            // Block positions count from the length bytes, 1-based: byte i is position i - 1.
            if (out[p + i] != (*exif)[i] && !(i >= 2 && InDimension(int64_t(i) - 1, source.ExifInfo.get())))
                return "the EXIF block changed outside the dimensions";
        }
        p += exif->size();
    } else if (app0) {
        if (out.compare(p, app0->size(), *app0) != 0)
            return "APP0 not kept";
        p += app0->size();
    } else {
        if (out.compare(p, 4, std::string("\xFF\xE0\x00\x10", 4)) != 0)
            return "no default JFIF header";
        p += 18;
    }
    for (const std::optional<std::string>* kept : {&iptc, &comment}) {
        if (*kept) {
            if (out.compare(p, (*kept)->size(), **kept) != 0)
                return "IPTC or comment not kept byte for byte";
            p += (*kept)->size();
        }
    }
    if (out.compare(p, std::string::npos, picture, 20, std::string::npos) != 0)
        return "the picture stream is not appended whole";

    // Read again: what the second reading finds of the kept sections is what was written.
    PhotoMetadata again(ParseModeFull);
    const bool ok = again.ReadMetadataFromMemory("x.jpg", out);
    if (exif && (!again.ExifSection || Kept(again.ExifSection)->size() != exif->size()))
        return "the EXIF block is lost on reading again";
    if (ok && iptc && Kept(again.IptcSection) != iptc)
        return "IPTC lost on reading again";
    if (ok && comment && Kept(again.CommentSection) != comment)
        return "the comment is lost on reading again";
    return nullptr;
}

std::string MakerNoteFile(std::string_view input, std::string& fileName)
{
    static constexpr std::array<const char*, kMakerCount> kMakes = {
        "NIKON CORPORATION", "OLYMPUS OPTICAL CO.,LTD", "CASIO COMPUTER CO.,LTD.", "FUJIFILM",
        "Canon", "SEIKO EPSON CORP.", "SANYO Electric Co.,Ltd.", "Minolta Co., Ltd.", "Pentax"};
    static constexpr std::array<const char*, 4> kVersions = {"", "0210", "0220", "0230"};
    const uint8_t pick = input.empty() ? 0 : static_cast<uint8_t>(input[0]);
    const std::string note(input.empty() ? input : input.substr(1));

    test::ExifBuilder b((pick & 0x10) != 0);
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, kMakes[(pick & 0x0F) % kMakerCount]);
    b.Ascii(0, 0x0110, "D70");
    b.Pointer(0, 0x8769, exif);
    const char* version = kVersions[(pick >> 5) & 3];
    if (*version)
        b.Undefined(exif, 0x9000, version);
    b.Short(exif, 0xA002, {640});
    b.Short(exif, 0xA003, {480});
    b.Undefined(exif, 0x927C, note);
    if (pick & 0x80) {
        fileName = "x.nef";
        return b.Tiff();
    }
    fileName = "x.jpg";
    return test::MakeJpeg({b.App1()});
}

const std::string& SmallEncodedPicture()
{
    static const std::string jpeg = [] {
        Picture p(16, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                p.SetPixel(x, y, RgbColor(uint8_t(x * 16), uint8_t(y * 32), 128));
        return EncodeJpeg(p, 75);
    }();
    return jpeg;
}

const char* HeifExif(std::string_view input)
{
    HeifPhoto photo;
    photo.Pixels = Picture(16, 8);
    const auto tiff = ExifItemTiffBlock(input);
    if (tiff) {
        std::string upright(*tiff);
        SetOrientationUpright(upright);
        size_t changed = 0;
        for (size_t i = 0; i < upright.size(); ++i)
            changed += upright[i] != (*tiff)[i];
        if (upright.size() != tiff->size() || changed > 10)
            return "setting the Orientation changed more than its entry";
        photo.Metadata.Exif = std::string(*tiff);
    }
    photo.Metadata.Icc = std::string(input.substr(0, input.size() % 97));
    photo.Metadata.Xmp = std::string(input.substr(input.size() / 2));
    std::string jpeg;
    try {
        PhotoMetadata reader;
        const bool loaded = LoadHeifExif(reader, "x.heic", photo.Metadata, true);
        if (loaded && PhotoOrientation(reader, true) != 1)
            return "an upright reading gave an Orientation other than 1";
        jpeg = HeifOutputJpeg(photo, EncodeJpeg(photo.Pixels, 75), true, "x.heic");
    } catch (const EHeif&) {
        return nullptr;  // a malformed block, refused with its reason
    } catch (const Exception&) {
        return "the metadata reader met a fault of its own";
    }
    try {
        if (DecodeJpeg(jpeg).Width() != 16)
            return "the output's picture is not the one encoded";
    } catch (const Exception&) {
        return "the output does not decode";
    }
    PhotoMetadata back;
    const bool read = back.ReadMetadataFromMemory("x.jpg", jpeg);
    if (!photo.Metadata.Exif.empty() && (!read || PhotoOrientation(back, read) != 1))
        return "the output's EXIF block does not read back upright";
    if (!photo.Metadata.Icc.empty() && jpeg.find(photo.Metadata.Icc) == std::string::npos)
        return "the ICC profile is not in the output";
    return nullptr;
}

const char* ThreadSchemeText(std::string_view input)
{
    try {
        const ThreadScheme scheme = ParseThreadScheme(input, "fuzz");
        if (scheme.Threads.empty())
            return "a scheme without threads was accepted";
        for (const Thread& t : scheme.Threads)
            if (t.Number.empty())
                return "a thread without a number was accepted";
    } catch (const EThreadScheme&) {
        // A malformed scheme is refused with its own failure type: what must happen.
    }
    return nullptr;
}

}  // namespace morvik::fuzz
