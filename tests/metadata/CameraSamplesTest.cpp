// Real camera files: every one reads without harm, and the JPEG ones agree with the
// facts listed in the samples' README (raw texts here: padding shows as blanks or dots).
#include "metadata/file/PhotoMetadata.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvik {
namespace {

TEST(CameraSamples, EveryFileReadsFromFileAndMemoryAlike)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    int files = 0;
    for (const auto& item : std::filesystem::directory_iterator(test::CameraSamplesDir())) {
        const std::string path = item.path().string();
        PhotoMetadata fromFile, fromMemory;
        const bool read = fromFile.ReadMetadata(path);
        EXPECT_EQ(fromMemory.ReadMetadataFromMemory(path, test::ReadFile(item.path())), read) << path;
        if (item.path().extension() == ".md")
            continue;
        ++files;
        EXPECT_TRUE(read) << path;
        EXPECT_EQ(fromFile.Outcome.Text, "<none>") << path;
        ASSERT_TRUE(fromFile.ExifInfo) << path;
        EXPECT_EQ(fromFile.ExifInfo->ListingText, fromMemory.ExifInfo->ListingText) << path;
        EXPECT_FALSE(fromFile.ExifInfo->TagList.empty()) << path;
        // Every stored value position lies inside the block.
        for (const TagEntry& t : fromFile.ExifInfo->TagList) {
            if (t.ByteCount > 0) {
                EXPECT_LE(static_cast<size_t>(t.ValuePos) + t.ByteCount - 1, fromFile.ExifInfo->Block().size()) << path;
            }
        }
    }
    EXPECT_GT(files, 10);
}

struct Fact {
    const char* File;
    const char* Make;
    const char* Model;
    int Year, Month, Day, Hour, Minute, Second;  // DateTimeOriginal; 0 when the EXIF block has none
    int Width;
};

class CameraFacts : public ::testing::TestWithParam<Fact> {};

TEST_P(CameraFacts, MakeModelDateAndWidth)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    const Fact& f = GetParam();
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadata((test::CameraSamplesDir() / f.File).string()));
    ASSERT_TRUE(data.HasExif());
    const ExifDirectory& info = *data.ExifInfo;
    EXPECT_EQ(info.CameraMake, f.Make);
    EXPECT_EQ(info.CameraModel, f.Model);
    EXPECT_EQ(info.Width, f.Width);
    const TDateTime expected = f.Year ? *TryEncodeDateTime(f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second) : 0;
    EXPECT_DOUBLE_EQ(info.DateTimeAt(info.DateTimeOriginalPos), expected);
}

void PrintTo(const Fact& f, std::ostream* os) { *os << f.File; }

INSTANTIATE_TEST_SUITE_P(
    Readme, CameraFacts,
    ::testing::Values(
        Fact{"BlueSquare.jpg", "", "", 0, 0, 0, 0, 0, 0, 360},
        Fact{"Canon_40D.jpg", "Canon", "Canon EOS 40D", 2008, 5, 30, 15, 56, 1, 100},
        Fact{"Canon_DIGITAL_IXUS_400.jpg", "Canon", "Canon DIGITAL IXUS 400", 2004, 8, 27, 13, 52, 55, 100},
        Fact{"Canon_PowerShot_S40.jpg", "Canon", "Canon PowerShot S40", 2003, 12, 14, 12, 1, 44, 2272},
        Fact{"Fujifilm_FinePix6900ZOOM.jpg", "FUJIFILM", "FinePix6900ZOOM", 2001, 2, 19, 6, 40, 5, 100},
        Fact{"Fujifilm_FinePix_E500.jpg", "FUJIFILM", "FinePix E500   ", 2006, 8, 17, 9, 24, 48, 59},
        // The README's "100 0" is an array of two LONGs; the numeric value of the whole
        // string gives 100 in little-endian order.
        Fact{"Kodak_CX7530.jpg", "EASTMAN KODAK COMPANY", "KODAK CX7530 ZOOM DIGITAL CAMERA", 2005, 8, 13, 9, 47, 23,
             100},
        Fact{"Konica_Minolta_DiMAGE_Z3.jpg", "KONICA MINOLTA ", "DiMAGE Z3", 2005, 3, 10, 15, 10, 48, 70},
        Fact{"Nikon_COOLPIX_P1.jpg", "NIKON", "COOLPIX P1", 2008, 3, 7, 9, 55, 46, 100},
        Fact{"Nikon_D70.jpg", "NIKON CORPORATION", "NIKON D70", 2008, 3, 15, 9, 52, 1, 100},
        Fact{"Olympus_C8080WZ.jpg", "OLYMPUS CORPORATION", "C8080WZ", 2006, 10, 22, 15, 44, 29, 100},
        Fact{"Panasonic_DMC-FZ30.jpg", "Panasonic", "DMC-FZ30", 2008, 7, 16, 11, 33, 20, 100},
        Fact{"Pentax_K10D.jpg", "PENTAX Corporation ", "PENTAX K10D        ", 2008, 5, 4, 16, 47, 24, 100},
        // Its date lives in the maker note only, not in the EXIF directory.
        Fact{"Reconyx_HC500_Hyperfire.jpg", "", "", 0, 0, 0, 0, 0, 0, 2048},
        Fact{"Sony_HDR-HC3.jpg", "SONY", "HDR-HC3", 2007, 6, 15, 4, 42, 32, 100},
        Fact{"long_description.jpg", "", "", 0, 0, 0, 0, 0, 0, 100}),
    [](const auto& info) {
        std::string name = info.param.File;
        name = name.substr(0, name.find('.'));
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(CameraSamples, TiffFilesGiveTheirPictureSize)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadata((test::CameraSamplesDir() / "Arbitro.tiff").string()));
    EXPECT_EQ(data.ExifInfo->Width, 174);
    EXPECT_EQ(data.ExifInfo->Height, 38);
}

}  // namespace
}  // namespace morvik
