// The directory walk: bounds, value placement, byte orders, loops and the members the
// walk fills.
#include "metadata/directory/ReaderFailure.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/FormatSettings.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace morvik {
namespace {

using test::ExifBuilder;
using test::MakeJpeg;

std::unique_ptr<PhotoMetadata> Read(const ExifBuilder& b, bool expectRead = true)
{
    auto data = std::make_unique<PhotoMetadata>(ParseModeFull);
    EXPECT_EQ(data->ReadMetadataFromMemory("t.jpg", MakeJpeg({b.App1()})), expectRead);
    EXPECT_TRUE(data->ExifInfo);
    return data;
}

// A typical camera block: IFD0 -> EXIF directory -> interoperability, and GPS.
ExifBuilder CameraBlock(bool big)
{
    ExifBuilder b(big);
    const int exif = b.AddIfd(), gps = b.AddIfd(), interop = b.AddIfd();
    b.Ascii(0, 0x010F, "Canon");
    b.Ascii(0, 0x0110, "Canon PowerShot S40");
    b.Short(0, 0x0112, {1});
    b.Rational(0, 0x011A, {{72, 1}});
    b.Ascii(0, 0x0132, "2005:07:15 08:00:00");
    b.Pointer(0, 0x8769, exif);
    b.Pointer(0, 0x8825, gps);
    b.Rational(exif, 0x829A, {{1, 60}});
    b.Rational(exif, 0x829D, {{28, 10}});
    b.Ascii(exif, 0x9003, "2005:07:14 12:30:45");
    b.Ascii(exif, 0x9004, "2005:07:14 12:30:46");
    b.Undefined(exif, 0x9000, "0220");
    b.Short(exif, 0x9209, {0x19});
    b.Short(exif, 0xA002, {1600});
    b.Long(exif, 0xA003, {1200});
    b.Short(exif, 0x0102, {8, 8, 8});  // three SHORTs: 6 bytes, out of line
    b.Pointer(exif, 0xA005, interop);
    b.Ascii(interop, 0x0001, "R98");
    b.Rational(gps, 0x0002, {{55, 1}, {4530, 100}, {0, 1}});
    b.Rational(gps, 0x0007, {{14, 1}, {30, 1}, {15, 1}});
    return b;
}

class WalkTest : public ::testing::Test {
    test::ScopedFormatSettings english_;
};

TEST_F(WalkTest, BothByteOrdersGiveTheSameValuesAndPositions)
{
    auto little = Read(CameraBlock(false));
    auto big = Read(CameraBlock(true));
    const ExifDirectory& l = *little->ExifInfo;
    const ExifDirectory& b = *big->ExifInfo;
    EXPECT_EQ(l.ListingText, b.ListingText);
    ASSERT_EQ(l.TagList.size(), b.TagList.size());
    for (size_t i = 0; i < l.TagList.size(); ++i) {
        EXPECT_EQ(l.TagList[i].TagName, b.TagList[i].TagName);
        EXPECT_EQ(l.TagList[i].ValueText, b.TagList[i].ValueText);
        EXPECT_EQ(l.TagList[i].ValuePos, b.TagList[i].ValuePos);
    }
    for (const ExifDirectory* info : {&l, &b}) {
        EXPECT_EQ(info->CameraMake, "Canon");
        EXPECT_EQ(info->CameraModel, "Canon PowerShot S40");
        EXPECT_EQ(info->Width, 1600);
        EXPECT_EQ(info->Height, 1200);
        EXPECT_EQ(info->FlashValue, 0x19);
        EXPECT_EQ(info->ExifVersionText, "0220");
        EXPECT_EQ(info->DateTimeText, "2005:07:14 12:30:45");  // the last of DateTime/Original met
        EXPECT_EQ(info->TagText("GPSLatitude"), "55 Degrees 45 Minutes 18 Seconds");
        EXPECT_EQ(info->TagText("GPSTimeStamp"), "14:30:15");
        EXPECT_EQ(info->TagText("InteroperabilityIndex"), "R98");
        EXPECT_EQ(info->TagText("ExposureTime"), "1/60 sec");
        EXPECT_EQ(info->TagText("FNumber"), "F2.8");
        EXPECT_EQ(info->TagText("Orientation"), "Normal");
        EXPECT_EQ(info->TagText("BitsPerSample"), "8, 8, 8");
    }
}

TEST_F(WalkTest, DatesAtTheirPositions)
{
    const ExifBuilder b = CameraBlock(false);
    auto data = Read(b);
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_EQ(info.DateTimeOriginalPos, ExifBuilder::Position(b.ValueOffset(1, 2)));
    EXPECT_DOUBLE_EQ(info.DateTimeAt(info.DateTimeOriginalPos), *TryEncodeDateTime(2005, 7, 14, 12, 30, 45));
    EXPECT_DOUBLE_EQ(info.DateTimeAt(info.DateTimeDigitizedPos), *TryEncodeDateTime(2005, 7, 14, 12, 30, 46));
    EXPECT_DOUBLE_EQ(info.DateTimeAt(info.DateTimePos), *TryEncodeDateTime(2005, 7, 15, 8, 0, 0));
    EXPECT_EQ(info.DateTimeAt(0), 0);
    EXPECT_EQ(info.DateTimeAt(static_cast<int64_t>(data->ExifInfo->Block().size()) - 5), 0);  // too short
}

TEST_F(WalkTest, DateTimeWithoutOriginal)
{
    ExifBuilder b;
    b.Ascii(0, 0x0132, "0000:00:00 00:00:00");
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->DateTimeOriginalPos, 0);
    EXPECT_NE(data->ExifInfo->DateTimePos, 0);
    EXPECT_EQ(data->ExifInfo->DateTimeAt(data->ExifInfo->DateTimePos), 0);
}

TEST_F(WalkTest, InlineAndOutOfLineValues)
{
    ExifBuilder b;
    b.Short(0, 0x0102, {8, 8});     // 4 bytes: inline
    b.Short(0, 0x0115, {3, 3, 3});  // 6 bytes: at offset + 9
    auto data = Read(b);
    const ExifDirectory& info = *data->ExifInfo;
    ASSERT_EQ(info.TagList.size(), 2u);
    EXPECT_EQ(info.TagList[0].ValuePos, ExifBuilder::Position(b.EntryOffset(0, 0) + 8));
    EXPECT_EQ(info.TagList[0].ValueText, "8, 8");
    EXPECT_EQ(info.TagList[1].ValuePos, ExifBuilder::Position(b.ValueOffset(0, 1)));
    EXPECT_NE(b.ValueOffset(0, 1), b.EntryOffset(0, 1) + 8);
    EXPECT_EQ(info.TagList[1].ValueText, "3, 3, 3");
    EXPECT_EQ(info.TagList[1].ByteCount, 6);
    EXPECT_EQ(info.TagList[1].FieldType, 3);
}

TEST_F(WalkTest, ExifDirectoryEntriesComeBeforeThePointer)
{
    auto data = Read(CameraBlock(false));
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_LT(info.IndexOfTag("DateTimeOriginal"), info.IndexOfTag("ExifOffset"));
    EXPECT_LT(info.IndexOfTag("InteroperabilityIndex"), info.IndexOfTag("InteroperabilityOffset"));
    EXPECT_LT(info.IndexOfTag("Make"), info.IndexOfTag("DateTimeOriginal"));
    // The listing has one line per entry in walking order, pointers before their targets.
    EXPECT_EQ(info.ListingText.find("\r\nMake = Canon"), 0u);
    EXPECT_LT(info.ListingText.find("Exif Offset"), info.ListingText.find("Date Time Original"));
}

TEST_F(WalkTest, ExifOffsetPointingBackIsWalkedOnce)
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    b.Pointer(0, 0x8769, 0);
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->TagList.size(), 2u);
    EXPECT_EQ(data->ExifInfo->VisitedDirectories, "[9:17]");
}

TEST_F(WalkTest, TwoPointersToOneDirectoryAndMutualLoops)
{
    ExifBuilder b;
    const int a = b.AddIfd(), c = b.AddIfd();
    b.Pointer(0, 0x8769, a);
    b.Pointer(0, 0xA005, a);
    b.Ascii(a, 0x0001, "R98");
    b.Pointer(a, 0x8769, c);
    b.Pointer(c, 0x8769, a);
    auto data = Read(b);
    const auto& list = data->ExifInfo->TagList;
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const TagEntry& t) { return t.TagNo == 0x0001; }), 1);
    EXPECT_EQ(data->Outcome.Text, "<none>");
}

TEST_F(WalkTest, IllegallySizedDirectoryIsSkipped)
{
    ExifBuilder b;
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Canon");
    b.Pointer(0, 0x8769, exif);
    b.Short(exif, 0xA002, {1600});
    b.SetEntryCount(exif, 2000);
    auto data = Read(b);
    EXPECT_EQ(data->Outcome.Text, "<none>");  // the read itself succeeds
    EXPECT_EQ(data->ExifInfo->Width, 0);
    EXPECT_EQ(data->ExifInfo->IndexOfTag("ExifImageWidth"), -1);
    EXPECT_EQ(data->ExifInfo->CameraMake, "Canon");
}

TEST_F(WalkTest, IllegallySizedDirectoryReportsItsText)
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    b.SetEntryCount(0, 2000);
    PhotoMetadata data;
    data.Sections[1].Data = b.Block();
    data.ExifSection = &data.Sections[1];
    data.Outcome.Text = "";
    data.ReadExifBlock();
    EXPECT_EQ(data.Outcome.Text, "Illegally sized directory");
    EXPECT_TRUE(data.ExifInfo->TagList.empty());
}

TEST_F(WalkTest, SubDirectoryFailuresAreSwallowed)
{
    ExifBuilder b;
    const int exif = b.AddIfd();
    b.Pointer(0, 0x8769, exif);
    b.RawEntry(0, 0x8825, 4, 1, 0x7FFFFFF0);  // GPS directory far outside
    b.Ascii(0, 0x010F, "Canon");
    b.Short(exif, 0xA002, {1600});
    b.Short(exif, 0x9209, {1, 0});  // RenderFlash cannot convert "1, 0": ends this directory
    b.Short(exif, 0xA003, {1200});
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->Width, 1600);
    EXPECT_EQ(data->ExifInfo->Height, 0);
    EXPECT_EQ(data->ExifInfo->CameraMake, "Canon");
    EXPECT_EQ(data->Outcome.Text, "<none>");
}

TEST_F(WalkTest, ValuesPartlyOrWhollyOutsideTheBlock)
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    const uint32_t end = static_cast<uint32_t>(b.Tiff().size());
    ExifBuilder c;
    c.Ascii(0, 0x010F, "Canon");
    c.RawEntry(0, 0x0131, 2, 100, end - 30);      // Software: runs past the end
    c.RawEntry(0, 0x013B, 2, 10, 0x7FFFFFFF);     // Artist: wholly outside
    c.RawEntry(0, 0x010E, 2, 0xFFFFFFFF, 8);      // negative count: empty value
    c.RawEntry(0, 0x0110, 99, 1000, 8);           // unknown field type: skipped
    auto data = Read(c);
    const ExifDirectory& info = *data->ExifInfo;
    const auto sw = info.TagEntryByName("Software");
    EXPECT_GT(sw.ByteCount, 0);
    EXPECT_LT(sw.ByteCount, 100);
    EXPECT_EQ(info.TagEntryByName("Artist").ByteCount, 0);
    EXPECT_EQ(info.TagEntryByName("Artist").TagNo, 0x013B);
    EXPECT_EQ(info.TagEntryByName("ImageDescription").RawBytes, "");
    EXPECT_EQ(info.IndexOfTag("Model"), -1);
}

TEST_F(WalkTest, ReadsOutsideTheDataFailTheFirstDirectory)
{
    // The directory claims two entries but the block ends inside the second.
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    std::string block = b.Block();
    for (size_t cut = 10; cut < block.size(); ++cut) {
        PhotoMetadata data;
        data.Sections[1].Data = block.substr(0, cut);
        data.ExifSection = &data.Sections[1];
        data.Outcome.Text = "Not an EXIF file";
        bool failed = false;
        try {
            data.ReadExifBlock();
        } catch (const ReaderFailure&) {
            failed = true;  // the reading's failure; anything else fails the test
        }
        // Only a block too short for the header's offset and the directory's count fails
        // the walk; a shorter directory is skipped, and no value is read past the end.
        EXPECT_EQ(failed, cut < 18) << cut;
        if (failed)
            continue;
        const auto& tags = data.ExifInfo->TagList;
        EXPECT_EQ(tags.empty(), data.Outcome.Text == "Illegally sized directory") << cut;
        for (const TagEntry& t : tags) {
            if (t.ByteCount > 0) {
                EXPECT_LE(static_cast<size_t>(t.ValuePos) + t.ByteCount - 1, cut) << cut;
            }
        }
    }
}

TEST_F(WalkTest, UserComment)
{
    ExifBuilder b;
    b.Undefined(0, 0x9286, std::string("ASCII\0\0\0hello\0", 14));
    auto data = Read(b);
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_EQ(info.UserCommentText, "hello");
    EXPECT_EQ(info.TagText("UserComment"), "hello");
    EXPECT_EQ(info.UserCommentLength, 5);
    EXPECT_EQ(info.UserCommentPos, ExifBuilder::Position(b.ValueOffset(0, 0)));
}

TEST_F(WalkTest, UnknownTagsAreListedButNotStored)
{
    ExifBuilder b;
    b.Short(0, 0x7777, {5});
    b.Short(0, 0x0112, {2});
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->ListingText, "\r\nUnknown = 5\r\nOrientation = ");
    ASSERT_EQ(data->ExifInfo->TagList.size(), 1u);
}

TEST_F(WalkTest, ParseModeTwoBuildsTheListingOnly)
{
    PhotoMetadata data(ParseModeListing);
    ASSERT_TRUE(data.ReadMetadataFromMemory("t.jpg", MakeJpeg({CameraBlock(false).App1()})));
    EXPECT_TRUE(data.ExifInfo->TagList.empty());
    EXPECT_NE(data.ExifInfo->ListingText.find("Make = Canon"), std::string::npos);
    EXPECT_EQ(data.ExifInfo->Width, 1600);
}

TEST_F(WalkTest, LaterDuplicatesOverwriteAndAppend)
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "First");
    b.Ascii(0, 0x010F, "Second");
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->CameraMake, "Second");
    EXPECT_EQ(data->ExifInfo->TagList.size(), 2u);
    EXPECT_EQ(data->ExifInfo->TagText("Make"), "First");
}

TEST_F(WalkTest, LongTextsAreCut)
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, std::string(40, 'M'));
    b.Ascii(0, 0x0110, std::string(45, 'm'));
    b.Ascii(0, 0x0132, "2005:07:14 12:30:45 and more");
    b.Undefined(0, 0x9000, "02200000");
    auto data = Read(b);
    const ExifDirectory& info = *data->ExifInfo;
    EXPECT_EQ(info.CameraMake, std::string(32, 'M'));
    EXPECT_EQ(info.CameraModel, std::string(40, 'm'));
    EXPECT_EQ(info.DateTimeText, "2005:07:14 12:30:45 ");
    EXPECT_EQ(info.ExifVersionText, "022000");
}

TEST_F(WalkTest, WidthFromExifImageWidthAlone)
{
    ExifBuilder b;
    const int exif = b.AddIfd();
    b.Pointer(0, 0x8769, exif);
    b.Short(exif, 0xA002, {1600});
    auto data = Read(b);
    EXPECT_EQ(data->ExifInfo->Width, 1600);
    EXPECT_EQ(data->ExifInfo->WidthPos, ExifBuilder::Position(b.EntryOffset(exif, 0) + 8));
}

// A chain of thousands of directories, each pointing to the next, neither overflows
// the stack nor takes long: deep nesting is cut off like a failing sub-directory.
TEST_F(WalkTest, LongChainsOfDirectories)
{
    ExifBuilder b;
    int previous = 0;
    for (int i = 0; i < 3000; ++i) {
        const int next = b.AddIfd();
        b.Pointer(previous, 0x8769, next);
        previous = next;
    }
    b.Ascii(0, 0x010F, "Canon");
    const std::string tiff = b.Tiff();
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("t.tif", tiff));
    EXPECT_EQ(data.ExifInfo->CameraMake, "Canon");
}

// Entries that each copy the whole block: a block's values may keep 64 MiB in all, and
// one that asks for more fails its reading instead of growing without bound.
TEST_F(WalkTest, ManyEntriesCopyingTheWholeBlockStayWithinTheValueBudget)
{
    struct Case { int Entries; bool Read; };
    for (const Case c : {Case{200, true}, Case{300, false}}) {  // 50 MB and 75 MB of values
        ExifBuilder b;
        for (int i = 0; i < c.Entries; ++i)
            b.RawEntry(0, 0x927C - 1, 7, 250000, 0);  // unknown tag, value = the whole file
        const std::string tiff = b.Tiff() + std::string(250000, 'x');
        PhotoMetadata data;
        EXPECT_EQ(data.ReadMetadataFromMemory("t.tif", tiff), c.Read) << c.Entries;
        EXPECT_EQ(data.Outcome.End, c.Read ? ReadingEnd::Read : ReadingEnd::NoMetadata) << c.Entries;
    }
}

// Every field type's value is read whole: inline while it fits the entry's four bytes,
// from its offset beyond that; an unknown type gives no entry.
TEST_F(WalkTest, EachFieldTypeReadsItsWholeValueInlineOrAtItsOffset)
{
    struct Case { uint16_t Type; size_t ElementBytes; };
    const Case cases[] = {{1, 1},  {2, 1}, {3, 2}, {4, 4},  {5, 8},  {6, 1},
                          {7, 1},  {8, 2}, {9, 4}, {10, 8}, {11, 4}, {12, 8}};
    for (bool big : {false, true}) {
        for (const Case& c : cases) {
            for (uint32_t count : {1u, 2u, 3u}) {
                std::string value;
                for (size_t i = 0; i < count * c.ElementBytes; ++i)
                    value += static_cast<char>('A' + i);
                ExifBuilder b(big);
                b.Entry(0, 0x9203, c.Type, count, value);
                const auto data = Read(b);
                const TagEntry e = data->ExifInfo->TagEntryByName("BrightnessValue");
                EXPECT_EQ(e.RawBytes, value) << "type " << c.Type << " count " << count;
                EXPECT_EQ(e.ValuePos, ExifBuilder::Position(b.ValueOffset(0, 0)));
            }
        }
    }
    ExifBuilder b;
    b.Entry(0, 0x9203, 13, 1, "ABCD");
    EXPECT_EQ(Read(b)->ExifInfo->TagEntryByName("BrightnessValue").TagNo, 0);
}

}  // namespace
}  // namespace morvik
