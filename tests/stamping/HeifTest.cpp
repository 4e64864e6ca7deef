// HEIF photos: decoded upright as libheif shows them, their EXIF item read by our reader,
// failures named, and the batch stamping them into JPEGs beside JPEG sources.
#include "stamping/Heif.h"

#include "metadata/directory/ExifDirectory.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/FileSystem.h"
#include "stamping/FolderBatch.h"
#include "stamping/Jpeg.h"
#include "stamping/PhotoDate.h"
#include "support/ExifBuilder.h"
#include "support/RecordingObserver.h"
#include "support/TestHeif.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvik {
namespace {

namespace fs = std::filesystem;
using test::HeifFixture;
using test::TempDir;

const TColor kMark = RgbColor(230, 20, 20);

bool NearColor(const Picture& p, int x, int y, TColor c)
{
    const TColor got = p.Pixel(x, y);
    return std::abs(int(ColorRed(got)) - int(ColorRed(c))) < 40 &&
           std::abs(int(ColorGreen(got)) - int(ColorGreen(c))) < 40 &&
           std::abs(int(ColorBlue(got)) - int(ColorBlue(c))) < 40;
}

// A TIFF block as a phone writes one: camera, the date taken, an Orientation and the
// picture's size as stored.
std::string PhoneTiff(bool bigEndian, int orientation, const std::string& taken, int width, int height)
{
    test::ExifBuilder b(bigEndian);
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Apple");
    b.Ascii(0, 0x0110, "iPhone 12");
    b.Short(0, 0x0112, {uint16_t(orientation)});
    b.Pointer(0, 0x8769, exif);
    b.Ascii(exif, 0x9003, taken);
    b.Long(exif, 0xA002, {uint32_t(width)});
    b.Long(exif, 0xA003, {uint32_t(height)});
    return b.Tiff();
}

TEST(HeifTest, ThePictureComesUprightAsLibheifShowsIt)
{
    // The marked corner of the stored 64x48 picture, as a viewer shows each transformation.
    struct Row {
        int Transform;
        int Width, Height;
        int MarkX, MarkY;  // a pixel inside the marked block once shown
    };
    const Row rows[] = {
        {1, 64, 48, 3, 3},  {2, 64, 48, 60, 3},  {3, 64, 48, 60, 44},
        {6, 48, 64, 44, 3}, {8, 48, 64, 3, 60},
    };
    for (const Row& row : rows) {
        HeifFixture fixture;
        fixture.Transform = row.Transform;
        const std::string heif = test::MakeHeif(fixture);
        const HeifPhoto photo = DecodeHeif(heif, "x.heic");
        SCOPED_TRACE(row.Transform);
        ASSERT_EQ(photo.Pixels.Width(), row.Width);
        ASSERT_EQ(photo.Pixels.Height(), row.Height);
        EXPECT_TRUE(NearColor(photo.Pixels, row.MarkX, row.MarkY, kMark));
        EXPECT_FALSE(NearColor(photo.Pixels, row.Width - 1 - row.MarkX, row.Height - 1 - row.MarkY, kMark));
        EXPECT_EQ(photo.Pixels, test::LibheifDecode(heif));
    }
}

TEST(HeifTest, TenBitSamplesAreBroughtToEightBits)
{
    HeifFixture fixture;
    fixture.TenBit = true;
    const std::string heif = test::MakeHeif(fixture);
    const Picture picture = DecodeHeif(heif, "deep.heif").Pixels;
    // A luma ramp from black to white with neutral chroma: grey from dark to bright.
    EXPECT_LT(ColorGreen(picture.Pixel(1, 10)), 40);
    EXPECT_GT(ColorGreen(picture.Pixel(62, 10)), 215);
    EXPECT_NEAR(ColorRed(picture.Pixel(32, 10)), ColorBlue(picture.Pixel(32, 10)), 6);
}

TEST(HeifTest, ExifIccAndXmpAreReadAndTheOrientationIsUprightForStamping)
{
    for (bool bigEndian : {false, true}) {
        HeifFixture fixture;
        fixture.Transform = 6;
        const std::string tiff = PhoneTiff(bigEndian, 8, "2021:06:01 18:04:33", 64, 48);
        fixture.ExifItem = std::string("\0\0\0\6Exif\0\0", 10) + tiff;
        fixture.Icc = std::string(300, '\x11') + "profile";
        fixture.Xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
        const std::string heif = test::MakeHeif(fixture);
        const HeifMetadata metadata = ReadHeifMetadata(heif, "p.heic");
        EXPECT_EQ(metadata.Exif, tiff);
        EXPECT_EQ(metadata.Icc, fixture.Icc);
        EXPECT_EQ(metadata.Xmp, fixture.Xmp);

        PhotoMetadata reader;
        ASSERT_TRUE(ReadForDating(reader, "p.heic", heif));
        EXPECT_EQ(PhotoDate(reader, true, "p.heic", 0, PhotoDateSource::DateTimeOriginal).Date,
                  *TryEncodeDateTime(2021, 6, 1, 18, 4, 33));
        EXPECT_EQ(PhotoOrientation(reader, true), 1);
        EXPECT_EQ(reader.ExifInfo->CameraModel, "iPhone 12");
        // The report shows what the camera wrote.
        ASSERT_TRUE(LoadHeifExif(reader, "p.heic", metadata, false));
        EXPECT_EQ(PhotoOrientation(reader, true), 8);
    }
}

TEST(HeifTest, TheExifItemsTiffBlockIsFoundWithinTheItem)
{
    const std::string tiff = PhoneTiff(false, 1, "2021:06:01 18:04:33", 8, 8);
    const std::string four(4, '\0');
    struct Row {
        std::string Item;
        bool Found;
    };
    const Row rows[] = {
        {four + tiff, true},
        {std::string("\0\0\0\6Exif\0\0", 10) + tiff, true},
        {four + std::string("Exif\0\0", 6) + tiff, true},  // no offset counted, header kept
        {std::string("\0\0\0\x40", 4) + tiff.substr(0, 20), false},  // offset past the item
        {std::string("\xFF\xFF\xFF\xFF", 4) + tiff, false},
        {four + "not a tiff header", false},
        {four + tiff.substr(0, 6), false},
        {std::string("\0\0", 2), false},
    };
    for (const Row& row : rows) {
        const auto block = ExifItemTiffBlock(row.Item);
        EXPECT_EQ(block.has_value(), row.Found) << testing::PrintToString(row.Item.substr(0, 12));
        if (block && row.Found) {
            EXPECT_EQ(*block, tiff);
        }
    }
}

TEST(HeifTest, BadFilesFailWithLibheifsOrOurReason)
{
    const std::string good = test::MakeHeif(HeifFixture{});
    HeifFixture past;
    past.ExifItem = std::string("\0\0\1\0", 4) + PhoneTiff(false, 1, "2021:06:01 18:04:33", 64, 48);
    HeifFixture walk;  // a TIFF header whose first directory lies far past the block
    test::ExifBuilder farAway;
    farAway.SetFirstOffset(0x80000000u);
    walk.ExifItem = test::ExifItemOf(farAway.Tiff());
    // A picture that claims more than the picture limit allows, in its size box.
    std::string huge = good;
    const size_t ispe = huge.find("ispe");
    ASSERT_NE(ispe, std::string::npos);
    huge.replace(ispe + 8, 8, std::string("\0\1\0\0\0\1\0\0", 8));
    std::string noPrimary = good;  // its primary-item box renamed away
    const size_t pitm = noPrimary.find("pitm");
    ASSERT_NE(pitm, std::string::npos);
    noPrimary[pitm + 1] = 'x';
    struct Row {
        std::string Name, Bytes, Reason;
    };
    const Row rows[] = {
        {"not a HEIF", "plain text, not a picture", ""},
        {"cut short", good.substr(0, good.size() / 2), ""},
        {"no primary image", noPrimary, ""},
        {"EXIF offset past its item", test::MakeHeif(past), "its EXIF item is malformed"},
        {"EXIF our walk refuses", test::MakeHeif(walk), "its EXIF block is malformed"},
        {"beyond the size limit", huge, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string prefix = "Cannot read HEIF file \"d/x.heic\": ";
        for (int way = 0; way < 2; ++way) {
            try {
                PhotoMetadata reader;
                if (way == 0) {  // the stamped output, as the batch makes it
                    const HeifPhoto photo = DecodeHeif(row.Bytes, "d/x.heic");
                    HeifOutputJpeg(photo, EncodeJpeg(photo.Pixels, 80), true, "d/x.heic");
                } else {
                    ReadForDating(reader, "d/x.heic", row.Bytes);
                }
                ADD_FAILURE() << "no failure";
            } catch (const EHeif& e) {
                const std::string message = e.what();
                EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
                EXPECT_GT(message.size(), prefix.size());
                EXPECT_EQ(message.find(row.Reason, prefix.size()), prefix.size()) << message;
            }
        }
    }
}

// The batch over JPEGs and HEIFs: names and dates by the same rules, the HEIF's EXIF block
// carried with Orientation 1 and its size, the pixels upright, its ICC profile kept.
class HeifBatchTest : public testing::Test {
protected:
    using Observer = test::RecordingObserver;

    void SetUp() override
    {
        Picture picture = HeifFixture::MarkedPicture(128, 96);
        test::WriteFile(dir_ / "a.jpg", EncodeJpeg(picture, 90));
        ASSERT_TRUE(SetFileModifiedTime((dir_ / "a.jpg").string(), *TryEncodeDateTime(2020, 1, 2, 3, 4, 6)));
        HeifFixture turned;
        turned.Pixels = picture;
        turned.Transform = 6;  // the EXIF item says otherwise: the container's turn counts
        turned.ExifItem = test::ExifItemOf(PhoneTiff(true, 3, "2021:06:01 18:04:33", 128, 96));
        turned.Icc = "a profile's bytes";
        turned.Xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
        heif_ = test::MakeHeif(turned);
        test::WriteFile(dir_ / "b.heic", heif_);
        turned.ExifItem.clear();
        test::WriteFile(dir_ / "c.HEIF", test::MakeHeif(turned));
        ASSERT_TRUE(SetFileModifiedTime((dir_ / "c.HEIF").string(), *TryEncodeDateTime(2019, 5, 6, 7, 8, 10)));
    }

    TBatchResult Run(Observer& observer, bool rename = true, bool dry = false)
    {
        TBatchOptions options;
        options.RenameByMask = rename;
        options.DryRun = dry;
        options.KeepGoing = true;
        return RunFolderBatch(dir_.path().string(), options, observer);
    }

    TempDir dir_;
    std::string heif_;
};

TEST_F(HeifBatchTest, HeifsAreStampedIntoJpegsBesideTheJpegs)
{
    test::WriteFile(dir_ / "d.heic", "no picture at all");
    Observer observer;
    const TBatchResult result = Run(observer);
    EXPECT_EQ(observer.Written,
              (std::vector<std::string>{"20.01.02  03_04_06.jpg", "21.06.01  18_04_33.jpg", "19.05.06  07_08_10.jpg"}));
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(result.Failures[0].Message.rfind("Cannot read HEIF file \"" + (dir_ / "d.heic").string() + "\": ", 0),
              0u);

    const std::string out = (dir_ / "Dated" / "21.06.01  18_04_33.jpg").string();
    EXPECT_EQ(GetFileFacts(out)->Modified, *TryEncodeDateTime(2021, 6, 1, 18, 4, 32));
    PhotoMetadata reader;
    ASSERT_TRUE(reader.ReadMetadata(out));
    EXPECT_EQ(PhotoOrientation(reader, true), 1);
    EXPECT_EQ(reader.ExifInfo->Width, 96);
    EXPECT_EQ(reader.ExifInfo->Height, 128);
    const std::string bytes = test::ReadFile(out);
    EXPECT_NE(bytes.find(std::string("ICC_PROFILE\0\1\1", 14) + "a profile's bytes"), std::string::npos);
    EXPECT_NE(bytes.find("adobe:ns:meta"), std::string::npos);
    // Upright as libheif shows it: the bottom half, away from the stamp, is the same picture.
    const Picture stamped = DecodeJpeg(bytes);
    const Picture shown = test::LibheifDecode(heif_);
    ASSERT_EQ(stamped.Width(), 96);
    EXPECT_LT(test::MeanDifference(stamped, shown, 0, 64, 96, 64), 3.0);
    // Without EXIF: a plain JFIF start, the profile still there (it says what the colours mean).
    const std::string plain = test::ReadFile(dir_ / "Dated" / "19.05.06  07_08_10.jpg");
    EXPECT_EQ(plain.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_NE(plain.find("ICC_PROFILE"), std::string::npos);
}

TEST_F(HeifBatchTest, KeptNamesEndInJpgAndTheLosslessModeReencodesHeifs)
{
    test::WriteFile(dir_ / "b.jpg", test::ReadFile(dir_ / "a.jpg"));
    for (bool dry : {true, false}) {
        Observer observer;
        observer.Controls.Lossless = true;
        Run(observer, false, dry);
        EXPECT_EQ(observer.Written, (std::vector<std::string>{"a.jpg", "b.jpg", "b (2).jpg", "c.jpg"}));
        EXPECT_EQ(observer.Ways[1], "re-encoded: HEIF");
        EXPECT_EQ(observer.Ways[3], "re-encoded: HEIF");
        EXPECT_EQ(observer.Ways[2], "lossless");
    }
    EXPECT_EQ(DecodeJpegFile((dir_ / "Dated" / "b.jpg").string()).Width(), 96);
}

}  // namespace
}  // namespace morvik
