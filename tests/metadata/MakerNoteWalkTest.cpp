// The walk of a maker directory, per maker, from notes built here in both byte orders.
#include "metadata/notes/MakerNote.h"
#include "metadata/MakerNoteSupport.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/Convert.h"
#include "platform/FormatSettings.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace morvik;
using namespace morvik::test;

namespace {

// Names of the stored entries, in list order.
std::vector<std::string> StoredNames(const ExifDirectory& info)
{
    std::vector<std::string> names;
    for (const TagEntry& e : info.TagList)
        names.push_back(e.TagName.Str());
    return names;
}

class MakerNoteWalkTest : public ::testing::TestWithParam<bool> {
protected:
    bool BigEndian() const { return GetParam(); }

private:
    test::ScopedFormatSettings english_;
};

INSTANTIATE_TEST_SUITE_P(ByteOrders, MakerNoteWalkTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "BigEndian" : "LittleEndian");
                         });

// --- Canon -------------------------------------------------------------------------------

std::vector<uint16_t> CanonSettingsRecord()
{
    std::vector<uint16_t> v(34, 0);  // v[k - 1] is value k
    v[0] = 68;      // the record's byte length
    v[1] = 1;       // macro mode: Macro; also the self timer
    v[3] = 3;       // compression: Basic
    v[4] = 0;       // flash: Not fired
    v[5] = 1;       // drive: Continuous
    v[7] = 0;       // focus: One-Shot
    v[10] = 0;      // image size: Large
    v[11] = 1;      // easy shoot: Manual
    v[13] = 65535;  // contrast: Low
    v[14] = 0;      // saturation: Normal
    v[15] = 2;      // sharpness: not in the list, no line
    v[16] = 17;     // CCD ISO: 100
    v[17] = 3;      // metering: not in the list, no line
    v[19] = 0;      // AF point: Normal
    v[20] = 1;      // exposure mode: High
    v[23] = 7100;   // long focal
    v[24] = 2100;   // short focal
    v[25] = 1000;   // focal units
    v[28] = 0;      // flash details
    v[32] = 0;      // second focus mode: Normal
    return v;
}

std::string CanonNote(bool bigEndian)
{
    std::vector<uint16_t> shot(20, 0);
    shot[7] = 1;       // white balance: Sunny
    shot[8] = 3;       // sequence number
    shot[10] = 5;      // optical zoom step
    shot[15] = 65524;  // flash bias: -0.33 EV
    shot[18] = 250;    // distance
    MakerNoteBuilder note(bigEndian);
    note.Shorts(0x0000, {0, 0, 0})
        .Shorts(0x0001, CanonSettingsRecord())
        .Shorts(0x0002, {0, 1, 2, 3})
        .Shorts(0x0004, shot)
        .Ascii(0x0006, "IMG:PowerShot S40 JPEG")
        .Ascii(0x0007, "Firmware Version 1.10")
        .Raw(0x0009, 2, 12, std::string("Ann\0\0\0\0\0\0\0\0\0", 12))
        .Long(0x000C, 0x12345)
        .Long(0x0099, 7)
        .Shorts(0x000F, {0x0101, 0x0200, 0x0000, 0x1000, 0x0E00, 0x0301});
    return note.Build(kTiffShift);
}

TEST_P(MakerNoteWalkTest, CanonListsRecordsAsLinesAndAddsNamedEntries)
{
    NoteImage image = MakeNoteImage("Canon", BigEndian(), CanonNote(BigEndian()));
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Error(), "");

    std::string settingsValues;
    for (uint16_t v : CanonSettingsRecord())
        settingsValues += (settingsValues.empty() ? "" : ", ") + std::to_string(v);

    const std::string expected =
        "\r\nMacro mode = Macro"
        "\r\nSelf Timer =  1"
        "\r\nCompression Rate = Basic"
        "\r\nFlash Mode = Not fired"
        "\r\nDrive Mode = Continuous"
        "\r\nFocus Mode = One-Shot"
        "\r\nImage Size = Large"
        "\r\nEasy Shoot = Manual"
        "\r\nContrast = Low"
        "\r\nSaturation = Normal"
        "\r\nCCD ISO = 100"
        "\r\nAF Point = Normal"
        "\r\nExposure Mode = High"
        "\r\nLong focal =  7100"
        "\r\nShort focal =  2100"
        "\r\nFocal Units =  1000"
        "\r\nFlash Details =  0"
        "\r\nFocus Mode = Normal"
        "\r\nExposureInfo1 = " + settingsValues +
        "\r\nWhite balance = Sunny"
        "\r\nSequence Number =  3"
        "\r\nOpticalZoom Step =  5"
        "\r\nAF point =  0"
        "\r\nFlash bias = -0.33 EV"
        "\r\nDistance =  250"
        "\r\nExposureInfo2 = 0, 0, 0, 0, 0, 0, 0, 1, 3, 0, 5, 0, 0, 0, 0, 65524, 0, 0, 250, 0"
        "\r\nImageType = \"IMG:PowerShot S40 JPEG\""
        "\r\nFirmwareVersion = \"Firmware Version 1.10\""
        "\r\nOwnerName = \"Ann\""
        "\r\nCameraSerialNumber = 74565"
        "\r\nUnknown = 7"
        "\r\nNoise Reduction =  On"
        "\r\nShutter AE Lock Button = AF/AE lock"
        "\r\nSuperimposed Display =  On"
        "\r\nCustomFunctions = 257, 512, 0, 4096, 3584, 769";
    EXPECT_EQ(image.Info->MakerListingText, expected);

    const ExifDirectory& info = *image.Info;
    // Named entries stand before the entry whose record they came from.
    EXPECT_LT(info.IndexOfTag("Macro mode"), info.IndexOfTag("ExposureInfo1"));
    EXPECT_LT(info.IndexOfTag("Distance"), info.IndexOfTag("ExposureInfo2"));
    EXPECT_LT(info.IndexOfTag("Superimposed Display"), info.IndexOfTag("CustomFunctions"));
    EXPECT_EQ(info.TagText("Macro mode"), "Macro");
    EXPECT_EQ(info.TagText("Self Timer"), " 1");
    EXPECT_EQ(info.TagText("Noise Reduction"), " On");
    EXPECT_EQ(info.TagText("Sharpness"), "");
    EXPECT_EQ(info.IndexOfTag("Shutter Release w/o CF Card"), -1);  // the last value is never decoded
    // A record entry keeps its list of numbers; others keep the shown text.
    EXPECT_EQ(info.TagText("ExposureInfo1"), settingsValues);
    EXPECT_EQ(info.TagText("ImageType"), "\"IMG:PowerShot S40 JPEG\"");
    EXPECT_EQ(info.TagText("CameraSerialNumber"), "74565");

    const TagEntry named = info.TagEntryByName("Contrast");
    EXPECT_EQ(named.Kind, 1);
    EXPECT_EQ(named.TagNo, 0);
    EXPECT_EQ(named.FieldType, 2);
    const TagEntry record = info.TagEntryByName("ExposureInfo1");
    EXPECT_EQ(record.Kind, 1);
    EXPECT_EQ(record.TagNo, 0x0001);
    EXPECT_EQ(record.FieldType, 3);
    EXPECT_EQ(record.RawBytes.size(), 68u);

    // Skip rows and unknown tags are not stored.
    for (const std::string& name : StoredNames(info)) {
        EXPECT_NE(AsciiUpper(name), "SKIP");
        EXPECT_NE(name, "Unknown");
    }
    EXPECT_EQ(info.Block(), image.Block);
}

// --- Nikon -------------------------------------------------------------------------------

// The note's own header gives its byte order, which may differ from the file's (a file
// edited on another machine); the file's order comes back after the walk.
TEST_P(MakerNoteWalkTest, NikonNewerNoteCountsOffsetsFromItsOwnHeaderInItsOwnOrder)
{
    for (const bool noteBigEndian : {false, true}) {
        const std::string header = std::string("Nikon\0\2\x10\0\0", 10) +
                                   (noteBigEndian ? std::string("MM\0*\0\0\0\x08", 8) : std::string("II*\0\x08\0\0\0", 8));
        MakerNoteBuilder note(noteBigEndian, header);
        note.Raw(0x0001, 7, 4, "0210")
            .Shorts(0x0002, {0, 200})
            .Ascii(0x0003, "COLOR")
            .Ascii(0x0010, "skipped")
            .Rationals(0x0084, {{180, 10}, {700, 10}, {35, 10}, {45, 10}})
            .Ascii(0x008D, "MODE2")
            .Undefined(0x0F00, "dump data");
        NoteImage image = MakeNoteImage("NIKON", BigEndian(), note.Build(10));
        image.Info->ExifVersionText = "0220";
        ASSERT_TRUE(image.Decode());
        EXPECT_EQ(image.Error(), "");
        EXPECT_EQ(image.Info->MakerListingText,
                  "\r\nFamily ID = \"0210\""
                  "\r\nISO Speed = 0, 200"
                  "\r\nColor Mode = \"COLOR\""
                  "\r\nLens information = 18.0-70.0(mm)  F3.5-F4.5"
                  "\r\nColor Mode = Mode 2 (Adobe RGB)");
        EXPECT_EQ(image.Info->TagText("LensInformation"), "18.0-70.0(mm)  F3.5-F4.5");
        EXPECT_EQ(image.Info->TagEntryByName("LensInformation").RawBytes.size(), 32u);
        EXPECT_EQ(image.Info->BigEndian, BigEndian());
    }
}

TEST_P(MakerNoteWalkTest, NikonOlderNoteUsesTableA)
{
    MakerNoteBuilder note(BigEndian(), std::string("Nikon\0\1\0", 8));
    note.Shorts(0x0003, {3})
        .Shorts(0x0004, {2})
        .Shorts(0x0006, {1})  // not in the list: empty text
        .Ascii(0x0008, "AF-C  ")
        .Shorts(0x0009, {7})
        .Rationals(0x000A, {{0, 100}})
        .Shorts(0x000B, {1});
    NoteImage image = MakeNoteImage("NIKON", BigEndian(), note.Build(kTiffShift));
    image.Info->ExifVersionText = "0210";
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Info->MakerListingText,
              "\r\nQuality = Vga Fine"
              "\r\nColorMode = Monochrome"
              "\r\nISOSpeed = "
              "\r\nFocus = \"AF-C  \""
              "\r\nDigitalZoom = 0/100"
              "\r\nConverter = Used");
    EXPECT_EQ(image.Info->TagText("Quality"), "Vga Fine");
}

TEST_P(MakerNoteWalkTest, NikonNoteWithoutHeaderStartsAtItsFirstByte)
{
    MakerNoteBuilder note(BigEndian());
    note.Ascii(0x0004, "FINE  ").Ascii(0x000A, "skipped").Ascii(0x0005, "AUTO  ");
    NoteImage image = MakeNoteImage("NIKON", BigEndian(), note.Build(kTiffShift));
    image.Info->ExifVersionText = "0200";
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Info->MakerListingText, "\r\nQuality = \"FINE  \"\r\nWhite Balance = \"AUTO  \"");
}

// --- Olympus, Casio, Seiko, Sanyo, Minolta ---------------------------------------------

TEST_P(MakerNoteWalkTest, OlympusNamesValuesAndTakesOutsideValuesFromTheBlock)
{
    const std::string outside = "OUTSIDE1";
    MakerNoteBuilder note(BigEndian(), std::string("OLYMP\0\1\0", 8));
    note.Raw(0x0200, 4, 3, note.U32(0) + note.U32(1) + note.U32(2))
        .Shorts(0x0201, {2})
        .Shorts(0x0202, {1})
        .Shorts(0x0203, {0})
        .Undefined(0x0209, "OLYMPUS DIGITAL CAMERA");
    // Firmware lies after the note in the EXIF block; offsets count from the TIFF header.
    const size_t noteLength = note.Build(kTiffShift).size() + 12;  // one more entry
    note.Field(0x0207, 2, 8, static_cast<uint32_t>(kNotePos + noteLength - 9));
    NoteImage image = MakeNoteImage("OLYMPUS OPTICAL CO.,LTD", BigEndian(), note.Build(kTiffShift), outside);
    ASSERT_EQ(image.Info->MakerNoteData.size(), noteLength);
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Error(), "");
    EXPECT_EQ(image.Info->MakerListingText,
              "\r\nSpecialMode = 0, 1, 2"
              "\r\nJpegQual = HQ"
              "\r\nMacro = Macro;"  // the list's own "1:Macro;" entry
              "\r\nCamera ID = \"OLYMPUS DIGITAL CAMERA\""
              "\r\nFirmware = \"OUTSIDE1\"");
}

TEST_P(MakerNoteWalkTest, CasioNotesWithAndWithoutQvcHeader)
{
    MakerNoteBuilder plain(BigEndian());
    plain.Shorts(0x0001, {5}).Shorts(0x0008, {1}).Long(0x000A, 65537).Shorts(0x0014, {250});
    NoteImage a = MakeNoteImage("CASIO", BigEndian(), plain.Build(kTiffShift));
    ASSERT_TRUE(a.Decode());
    EXPECT_EQ(a.Info->MakerListingText,
              "\r\nRecordingMode = Landscape\r\nDigitalZoom = 2X Digital Zoom\r\nCCDSensitivity = +2.0");

    MakerNoteBuilder qvc(BigEndian(), std::string("QVC\0\0\0", 6));
    qvc.Shorts(0x0009, {20}).Undefined(0x0E00, "PrintIM0300").Shorts(0x2013, {1}).Shorts(0x2012, {12});
    NoteImage b = MakeNoteImage("CASIO COMPUTER CO.,LTD.", BigEndian(), qvc.Build(kTiffShift));
    ASSERT_TRUE(b.Decode());
    EXPECT_EQ(b.Info->MakerListingText,
              "\r\nImageSize = 2288 x 1712\r\n\tPrint Image Matching Info = \"PrintIM0300\"\r\nWhite Balance = Flash");
}

TEST_P(MakerNoteWalkTest, SeikoSanyoAndMinoltaTables)
{
    MakerNoteBuilder seiko(BigEndian(), std::string("SEIKO\0\1\0", 8));
    seiko.Shorts(0x0300, {4}).Undefined(0x0F00, "lower-case skip row");
    NoteImage s = MakeNoteImage("SEIKO EPSON CORP.", BigEndian(), seiko.Build(kTiffShift));
    ASSERT_TRUE(s.Decode());
    EXPECT_EQ(s.Info->MakerListingText, "\r\n?? = 4");
    EXPECT_EQ(StoredNames(*s.Info), std::vector<std::string>{"??"});

    MakerNoteBuilder sanyo(BigEndian(), std::string("SANYO\0\1\0", 8));
    sanyo.Shorts(0x0202, {1}).Undefined(0x0F00, "\x01\x02");
    NoteImage y = MakeNoteImage("SANYO Electric Co.,Ltd.", BigEndian(), sanyo.Build(kTiffShift));
    ASSERT_TRUE(y.Decode());
    EXPECT_EQ(y.Info->MakerListingText, "\r\nMacro = 1\r\nDataDump = \"..\"");

    // A row with tag number 0 is listed but never stored.
    MakerNoteBuilder minolta(BigEndian());
    minolta.Undefined(0x0000, "MLT0").Undefined(0x0E00, "PrintIM");
    NoteImage m = MakeNoteImage("Minolta Co., Ltd.", BigEndian(), minolta.Build(kTiffShift));
    ASSERT_TRUE(m.Decode());
    EXPECT_EQ(m.Info->MakerListingText, "\r\nModelID = \"MLT0\"\r\nPIMdata = \"PrintIM\"");
    EXPECT_EQ(StoredNames(*m.Info), std::vector<std::string>{"PIMdata"});
}

// --- Fujifilm ----------------------------------------------------------------------------

std::string FujifilmNote(const std::string& trailer = {})
{
    MakerNoteBuilder note(false, std::string("FUJIFILM\x0C\0\0\0", 12));
    note.Undefined(0x0000, "0130")
        .Ascii(0x1000, "NORMAL ")
        .Shorts(0x1001, {3})
        .Shorts(0x1002, {769})
        .Shorts(0x1010, {3})
        .Shorts(0x1032, {1})
        .Rationals(0x1011, {{6, 10}}, 10)
        .Trailer(trailer);
    return note.Build(0);
}

TEST_P(MakerNoteWalkTest, FujifilmIsLittleEndianInEitherFileAndKeepsTheFileOrder)
{
    NoteImage image = MakeNoteImage("FUJIFILM", BigEndian(), FujifilmNote("pad"));
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Error(), "");
    EXPECT_EQ(image.Info->MakerListingText,
              "\r\nVersion = \"0130\""
              "\r\nQuality = \"NORMAL \""
              "\r\nSharpness = Normal"
              "\r\nWhiteBalance = DaywhiteColor-fluorescence"
              "\r\nFlashMode = Red-eye reduction"
              "\r\nFlashStrength = 6/10");
    EXPECT_EQ(image.Info->BigEndian, BigEndian());
    EXPECT_EQ(image.Info->Block(), image.Block);
    EXPECT_EQ(image.Info->IndexOfTag("Version"), -1);
    EXPECT_EQ(image.Info->TagText("WhiteBalance"), "DaywhiteColor-fluorescence");
}

// A value that ends exactly at the note's last byte lies inside the note (as in the
// FinePix E500's FlashStrength); it must not be fetched from elsewhere in the block.
TEST_P(MakerNoteWalkTest, ValueEndingAtTheNotesLastByteIsReadFromTheNote)
{
    const std::string note = FujifilmNote();
    ASSERT_EQ(note.substr(note.size() - 8), std::string("\x06\0\0\0\x0A\0\0\0", 8));
    NoteImage image = MakeNoteImage("FUJIFILM", BigEndian(), note, std::string(64, '\x7F'));
    ASSERT_TRUE(image.Decode());
    EXPECT_EQ(image.Info->TagText("FlashStrength"), "6/10");

    // Likewise an inline value in the last entry of a note that ends right after it.
    MakerNoteBuilder inlineOnly(BigEndian(), std::string("OLYMP\0\1\0", 8));
    inlineOnly.Shorts(0x0201, {3}).WithoutLink();
    NoteImage olympus = MakeNoteImage("OLYMPUS", BigEndian(), inlineOnly.Build(kTiffShift), std::string(64, '\x7F'));
    ASSERT_TRUE(olympus.Decode());
    EXPECT_EQ(olympus.Info->MakerListingText, "\r\nJpegQual = SHQ");
}

// --- Broken notes ------------------------------------------------------------------------

TEST_P(MakerNoteWalkTest, DirectoryRunningPastTheNoteStopsTheWalkWithAnError)
{
    MakerNoteBuilder note(BigEndian());
    note.Long(0x0008, 101).Long(0x000C, 5).WithoutLink();
    std::string bytes = note.Build(kTiffShift);
    bytes.replace(0, 2, note.U16(5));  // five entries announced, two present
    NoteImage image = MakeNoteImage("Canon", BigEndian(), bytes, std::string(100, '\0'));
    EXPECT_TRUE(image.Decode());
    EXPECT_EQ(image.Info->MakerListingText, "\r\nImageNumber = 101\r\nCameraSerialNumber = 5");
    EXPECT_EQ(image.Error().rfind("Error Detected = ", 0), 0u) << image.Error();
    EXPECT_GT(image.Error().size(), std::string("Error Detected = ").size());
    EXPECT_EQ(image.Info->TagList.size(), 2u);
    EXPECT_EQ(image.Info->Block(), image.Block);
}

TEST_P(MakerNoteWalkTest, NoteShorterThanItsHeaderIsAnError)
{
    NoteImage image = MakeNoteImage("FUJIFILM", BigEndian(), "FUJI", std::string(100, '\0'));
    EXPECT_TRUE(image.Decode());
    EXPECT_EQ(image.Error().rfind("Error Detected = ", 0), 0u) << image.Error();
    EXPECT_TRUE(image.Info->MakerListingText.empty());
    EXPECT_EQ(image.Info->BigEndian, BigEndian());
    EXPECT_EQ(image.Info->Block(), image.Block);
}

// Every read stays inside the note or the EXIF block; one that would leave it ends the
// walk at that entry, with what came before it kept.
TEST_P(MakerNoteWalkTest, ReadsLeavingTheNoteOrTheBlockEndTheWalk)
{
    const std::string after(100, 'x');
    const size_t blockSize = kNotePos - 1 + 2 + 3 * 12 + 4 + after.size();  // three entries
    struct Case {
        const char* Name;
        uint16_t Type;
        uint32_t Count, Field;
    } const cases[] = {
        {"far past the block", 2, 16, 0x7FFFFFF0},
        {"before the note", 2, 16, 0xFFFFFF00},
        // Canon's fallback base is 0: the value would start at block position `offset`.
        {"running past the block's end", 2, 24, static_cast<uint32_t>(blockSize - 9)},
        {"a count of four gigabytes", 1, 0x7FFFFFFF, 0x40},
    };
    for (const Case& c : cases) {
        MakerNoteBuilder note(BigEndian());
        note.Long(0x0008, 101).Field(0x0006, c.Type, c.Count, c.Field).Long(0x000C, 5);
        NoteImage image = MakeNoteImage("Canon", BigEndian(), note.Build(kTiffShift), after);
        ASSERT_EQ(image.Block.size(), blockSize);
        ASSERT_TRUE(image.Decode());
        EXPECT_EQ(image.Error().rfind("Error Detected = maker note entry 2 of 3", 0), 0u) << c.Name << image.Error();
        EXPECT_EQ(image.Info->MakerListingText, "\r\nImageNumber = 101") << c.Name;
        EXPECT_EQ(StoredNames(*image.Info), std::vector<std::string>{"ImageNumber"}) << c.Name;
        EXPECT_EQ(image.Info->Block(), image.Block);
    }

    // A negative count (read signed) gives an empty value, and the walk goes on.
    MakerNoteBuilder negative(BigEndian());
    negative.Field(0x0006, 2, 0xFFFFFFFF, 0x40).Long(0x000C, 5);
    NoteImage n = MakeNoteImage("Canon", BigEndian(), negative.Build(kTiffShift), after);
    ASSERT_TRUE(n.Decode());
    EXPECT_EQ(n.Error(), "");
    EXPECT_EQ(n.Info->MakerListingText, "\r\nImageType = \"\"\r\nCameraSerialNumber = 5");

    // An entry cut by the note's end: its value field is read from the note too.
    MakerNoteBuilder cut(BigEndian(), std::string("OLYMP\0\1\0", 8));
    cut.Shorts(0x0201, {2}).Shorts(0x0202, {1}).WithoutLink();
    std::string cutBytes = cut.Build(kTiffShift);
    cutBytes.resize(cutBytes.size() - 3);
    NoteImage c = MakeNoteImage("OLYMPUS", BigEndian(), cutBytes, after);
    ASSERT_TRUE(c.Decode());
    EXPECT_EQ(c.Info->MakerListingText, "\r\nJpegQual = HQ");
    EXPECT_EQ(c.Error().rfind("Error Detected = maker note entry 2 of 2", 0), 0u) << c.Error();

    // A newer Olympus note ("OLYMPUS", 0, its own byte-order mark) read at offset 8 counts
    // the mark as thousands of entries; its first value lies far outside: nothing is listed.
    MakerNoteBuilder newer(BigEndian(), std::string("OLYMPUS\0", 8) + (BigEndian() ? "MM" : "II") + MakerNoteBuilder(BigEndian()).U16(3));
    newer.Shorts(0x0200, {0, 1, 2}).Shorts(0x0201, {2});
    NoteImage o = MakeNoteImage("OLYMPUS IMAGING CORP.", BigEndian(), newer.Build(0), after);
    ASSERT_TRUE(o.Decode());
    EXPECT_EQ(o.Error().rfind("Error Detected = maker note entry 1 of ", 0), 0u) << o.Error();
    EXPECT_EQ(o.Info->MakerListingText, "");
    EXPECT_TRUE(o.Info->TagList.empty());
}

TEST_P(MakerNoteWalkTest, ParseModeTwoNeitherListsNorStores)
{
    NoteImage image = MakeNoteImage("Canon", BigEndian(), CanonNote(BigEndian()), {}, ParseModeListing);
    EXPECT_TRUE(image.Decode());
    EXPECT_TRUE(image.Info->MakerListingText.empty());
    EXPECT_TRUE(image.Info->TagList.empty());
    EXPECT_EQ(image.Info->Block(), image.Block);
}

// Batch workers decode files side by side; each thread has its own image and flag.
TEST(MakerNoteThreadsTest, ParallelDecodingsGiveTheSameListing)
{
    test::ScopedFormatSettings english;
    NoteImage reference = MakeNoteImage("Canon", false, CanonNote(false));
    ASSERT_TRUE(reference.Decode());
    std::vector<std::thread> workers;
    std::vector<int> mismatches(4, 0);
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < 30; ++i) {
                NoteImage image = MakeNoteImage("Canon", w % 2 == 1, CanonNote(w % 2 == 1));
                image.Decode();
                if (image.Info->MakerListingText != reference.Info->MakerListingText ||
                    image.Info->TagList.size() != reference.Info->TagList.size())
                    ++mismatches[static_cast<size_t>(w)];
            }
        });
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace

// --- Through the reader ------------------------------------------------------------------

namespace {

// A JPEG whose EXIF directory holds a MakerNote between two other entries; `note` builds
// the note from the TIFF offset its value will have.
template <typename BuildNote>
std::unique_ptr<PhotoMetadata> ReadJpegWithNote(bool bigEndian, const std::string& make, BuildNote note)
{
    auto layout = [&](const std::string& bytes) {
        ExifBuilder b(bigEndian);
        const int exif = b.AddIfd();
        b.Ascii(0, 0x010F, make).Pointer(0, 0x8769, exif);
        b.Short(exif, 0xA002, {1600}).Undefined(exif, 0x927C, bytes).Short(exif, 0xA003, {1200});
        return b;
    };
    const std::string placeholder = note(0);
    const uint32_t noteOffset = layout(placeholder).ValueOffset(1, 1);
    auto data = std::make_unique<PhotoMetadata>();
    data->ReadMetadataFromMemory("t.jpg", MakeJpeg({layout(note(noteOffset)).App1()}));
    return data;
}

}  // namespace

TEST_P(MakerNoteWalkTest, ReaderDecodesTheNoteAndGoesOnWithTheExifBlock)
{
    // Canon: value offsets count from the TIFF header.
    auto data = ReadJpegWithNote(BigEndian(), "Canon", [&](uint32_t noteOffset) {
        MakerNoteBuilder note(BigEndian());
        note.Ascii(0x0006, "IMG:PowerShot S40 JPEG").Shorts(0x0001, {6, 1, 0});
        return note.Build(-static_cast<int64_t>(noteOffset));
    });
    ASSERT_TRUE(data->ExifInfo);
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_TRUE(info.MakerDecoded);
    EXPECT_EQ(info.MakerListingText,
              "\r\nImageType = \"IMG:PowerShot S40 JPEG\""
              "\r\nMacro mode = Macro\r\nSelf Timer =  1\r\nCompression Rate = 0\r\nFlash Mode = 0"
              "\r\nDrive Mode = 0\r\nFocus Mode = 0\r\nImage Size = 0\r\nEasy Shoot = 0\r\nContrast = 0"
              "\r\nSaturation = 0\r\nSharpness = 0\r\nCCD ISO = 0\r\nMetering Mode = 0\r\nAF Point = 0"
              "\r\nExposure Mode = 0\r\nFocus Mode = 0\r\nExposureInfo1 = 6, 1, 0");  // values 4 and up missing
    EXPECT_EQ(info.Width, 1600);
    EXPECT_EQ(info.Height, 1200);  // read from the EXIF block again after the note
    EXPECT_LT(info.IndexOfTag("ExposureInfo1"), info.IndexOfTag("MakerNote"));
    EXPECT_EQ(data->Outcome.Text, "<none>");
}

TEST_P(MakerNoteWalkTest, ReaderKeepsTheFilesByteOrderAfterAFujifilmNote)
{
    auto data = ReadJpegWithNote(BigEndian(), "FUJIFILM", [](uint32_t) { return FujifilmNote(); });
    ASSERT_TRUE(data->ExifInfo);
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_TRUE(info.MakerDecoded);
    EXPECT_EQ(info.TagText("FlashStrength"), "6/10");
    EXPECT_EQ(info.BigEndian, BigEndian());
    EXPECT_EQ(info.Height, 1200);
}

// Damaged notes: whatever the bytes, the walk stays inside the data, reports failures only
// through the diagnostic, and leaves the block and the byte order as it found them.
TEST_P(MakerNoteWalkTest, DamagedNotesLeaveTheImageAsFound)
{
    struct Maker {
        const char* Make;
        std::string Note;
    };
    const Maker makers[] = {{"Canon", CanonNote(BigEndian())}, {"FUJIFILM", FujifilmNote()}};
    std::mt19937 random(BigEndian() ? 7 : 11);
    for (const Maker& m : makers) {
        for (int round = 0; round < 300; ++round) {
            std::string note = m.Note;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int f = 0; f < flips; ++f)
                note[random() % note.size()] = static_cast<char>(random() & 0xFF);
            if (round % 5 == 0)
                note.resize(random() % note.size());
            NoteImage image = MakeNoteImage(m.Make, BigEndian(), note, std::string(32, 'z'));
            EXPECT_TRUE(image.Decode());
            EXPECT_EQ(image.Info->Block(), image.Block);
            EXPECT_EQ(image.Info->BigEndian, BigEndian());
            if (!image.Error().empty()) {
                EXPECT_EQ(image.Error().rfind("Error Detected = ", 0), 0u) << image.Error();
            }
        }
    }
}
