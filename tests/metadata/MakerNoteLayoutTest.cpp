// Which table and layout a note is read with, by maker, Exif version, model and note header.
#include "metadata/notes/MakerNote.h"
#include "metadata/MakerNoteSupport.h"

#include <gtest/gtest.h>

using namespace morvik;
using namespace morvik::test;

namespace {

struct LayoutCase {
    const char* Name;
    const char* Make;
    const char* Model;
    std::string ExifVersion;
    std::string NoteStart;
    bool FromTiff = false;
    MakerTable (*Table)() = nullptr;  // nullptr: no table
    int64_t DirectoryOffset = 0;
    bool NoteRelative = false;
    int64_t NoteBase = 0;
    int64_t FallbackBase = 0;
    std::optional<bool> BigEndian{};  // the note's own byte order, if any
};

class MakerLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MakerLayoutTest, ChoosesTableAndLayout)
{
    const LayoutCase& c = GetParam();
    ExifDirectory info(ParseModeFull);
    info.CameraMake = c.Make;
    info.CameraModel = c.Model;
    info.ExifVersionText = c.ExifVersion;
    info.MakerNoteData = c.NoteStart + std::string(20, '\0');
    const auto layout = ChooseMakerLayout(info, c.FromTiff);
    if (!c.Table) {
        EXPECT_FALSE(layout.has_value());
        return;
    }
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->Table.data(), c.Table().data());
    EXPECT_EQ(layout->DirectoryOffset, c.DirectoryOffset);
    EXPECT_EQ(layout->NoteRelative, c.NoteRelative);
    if (c.NoteRelative) {
        EXPECT_EQ(layout->NoteBase, c.NoteBase);
    }
    EXPECT_EQ(layout->FallbackBase, c.FallbackBase);
    EXPECT_EQ(layout->BigEndian, c.BigEndian);
}

const std::string kNikonHeader("Nikon\0\2\x10\0\0", 10);

INSTANTIATE_TEST_SUITE_P(
    Makers, MakerLayoutTest,
    ::testing::Values(
        // Nikon: a version above 0210 means the newer note with its own TIFF header.
        LayoutCase{"NikonCorporation0220", "Nikon Corporation", "E995", "0220", "", false, NikonTableB, 18, true, 10, 0},
        LayoutCase{"Nikon0221WithHeader", "NIKON", "COOLPIX P1", "0221", kNikonHeader, false, NikonTableB, 18, true, 10, 0},
        // The note's own header names its byte order.
        LayoutCase{"NikonHeaderLittleEndian", "NIKON", "COOLPIX P1", "0221", kNikonHeader + "II*", false, NikonTableB, 18, true, 10, 0, false},
        LayoutCase{"NikonHeaderBigEndian", "NIKON", "NIKON D70", "", kNikonHeader + "MM\0*", true, NikonTableB, 18, true, 10, 0, true},
        LayoutCase{"NikonLongerVersion", "NIKON", "E5000", "02101", "", false, NikonTableB, 18, true, 10, 0},
        // Raw files without an Exif version: a D-series model read from a TIFF file.
        LayoutCase{"NikonRawDSeries", "NIKON CORPORATION", "NIKON D70", "", "", true, NikonTableB, 18, true, 10, 0},
        LayoutCase{"NikonRawModelWithoutBlank", "NIKON", "D1X", "", "", true, NikonTableB, 18, true, 10, 0},
        LayoutCase{"NikonJpegDSeriesNoVersion", "NIKON", "NIKON D70", "", "", false, NikonTableB, 0, false, 0, 0},
        LayoutCase{"NikonRawOtherModel", "NIKON", "COOLPIX P1", "", "", true, NikonTableB, 0, false, 0, 0},
        LayoutCase{"NikonRawModelEndsInBlank", "NIKON", "NIKON ", "", "", true, NikonTableB, 0, false, 0, 0},
        // Older notes start with "Nikon"; 0210 itself is not above 0210, nor is the shorter 021.
        LayoutCase{"NikonOld0210", "NIKON", "E990", "0210", "Nikon\0\1\0", false, NikonTableA, 8, false, 0, 0},
        LayoutCase{"NikonOldShortVersion", "NIKON", "E990", "021", "Nikon", false, NikonTableA, 8, false, 0, 0},
        LayoutCase{"NikonHeaderCaseMatters", "NIKON", "E990", "0210", "NIKON", false, NikonTableB, 0, false, 0, 0},
        LayoutCase{"NikonPlain", "NIKON", "E700", "0200", "", false, NikonTableB, 0, false, 0, 0},
        LayoutCase{"Olympus", "OLYMPUS OPTICAL CO.,LTD", "C2000Z", "0210", "OLYMP", false, OlympusTable, 8, false, 0, 9},
        LayoutCase{"CasioQvc", "CASIO COMPUTER CO.,LTD.", "EX-Z750", "0221", "QVC\0\0\0", false, CasioTableB, 6, false, 0, 0},
        LayoutCase{"CasioPlain", "CASIO", "QV-3000EX", "0210", "", false, CasioTableA, 0, false, 0, 0},
        LayoutCase{"Fujifilm", "FUJIFILM", "FinePix E500", "0220", "FUJIFILM", false, FujifilmTable, 12, true, 0, 0, false},
        LayoutCase{"Canon", "Canon", "Canon PowerShot S40", "0220", "", false, CanonTable, 0, false, 0, 0},
        LayoutCase{"Seiko", "SEIKO EPSON CORP.", "PhotoPC 3000Z", "0210", "", false, SeikoTable, 8, false, 0, 0},
        LayoutCase{"Sanyo", "SANYO Electric Co.,Ltd.", "SR6", "0210", "SANYO", false, SanyoTable, 8, false, 0, 0},
        LayoutCase{"Minolta", "Minolta Co., Ltd.", "DiMAGE 7", "0220", "", false, MinoltaTable, 0, false, 0, 0},
        // Makers without a table, and a make whose first five letters name no maker.
        LayoutCase{"KonicaMinolta", "KONICA MINOLTA", "DiMAGE Z3", "0221", "MLT0", false, nullptr},
        LayoutCase{"Pentax", "PENTAX Corporation", "PENTAX K10D", "0221", "AOC", false, nullptr},
        LayoutCase{"NoMake", "", "", "", "", false, nullptr},
        LayoutCase{"ShortMake", "NIK", "", "0220", "", false, nullptr}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.Name); });

TEST(MakerLayoutTest, DecodingAnUnknownMakerWalksNothing)
{
    MakerNoteBuilder note(false);
    note.Shorts(0x0001, {1});
    NoteImage image = MakeNoteImage("PENTAX Corporation", false, note.Build(kTiffShift));
    EXPECT_FALSE(image.Decode());
    EXPECT_TRUE(image.Info->TagList.empty());
    EXPECT_TRUE(image.Info->MakerListingText.empty());
    EXPECT_EQ(image.Info->Block(), image.Block);
}

}  // namespace
