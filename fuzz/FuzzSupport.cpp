#include "FuzzSupport.h"

#include "exif/ImageInfo.h"
#include "exif/ImgData.h"
#include "iptc/IPTCdata.h"
#include "platform/FormatSettings.h"
#include "stamping/Jpeg.h"
#include "stamping/Picture.h"
#include "support/ExifBuilder.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace morvik::fuzz {

void UseFixedFormatSettings()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    FormatSettings() = TFormatSettings{};
}

void ReadAndRender(const std::string& fileName, std::string_view bytes)
{
    TimgData data(255);
    try {
        data.ReadMetadataFromMemory(fileName, bytes);
    } catch (...) {
        std::fputs("the metadata reader let an exception escape\n", stderr);
        std::abort();
    }
    if (data.ExifInfo) {
        const TImageInfo& info = *data.ExifInfo;
        volatile size_t sink = info.SummaryText().size() + info.ListingText.size() + info.MakerListingText.size();
        for (const TTagEntry& e : info.TagList)
            sink = sink + info.TagText(e.TagName).size();
        (void)sink;
    }
    if (data.IptcInfo) {
        const TIPTCdata& iptc = *data.IptcInfo;
        volatile size_t sink = 0;
        for (int i = 0; i < iptc.Count(); ++i)
            sink = sink + iptc.GetValue(iptc.EntryAt(i).TagName, "").size();
        (void)sink;
    }
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

}  // namespace morvik::fuzz
