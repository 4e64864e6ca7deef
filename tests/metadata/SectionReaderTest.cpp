// The JPEG section reader and TIFF reader: which sections are kept, the results and
// error texts of every failure, and files that end early.
#include "metadata/file/PhotoMetadata.h"
#include "platform/FileSystem.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

namespace morvik {
namespace {

using test::ExifBuilder;
using test::MakeJpeg;
using test::Section;

std::string CameraApp1()
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    b.Ascii(0, 0x0132, "2005:07:14 12:30:45");
    return b.App1();
}

TEST(SectionReader, CameraJpegStopsAtScan)
{
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg({CameraApp1()})));
    EXPECT_TRUE(data.HasExif());
    EXPECT_EQ(data.SectionCount, 5);  // APP1, DQT, SOF0, DHT, SOS
    EXPECT_EQ(data.Outcome.Text, "<none>");
    EXPECT_EQ(data.ExifSection, &data.Sections[1]);
    EXPECT_EQ(data.Sections[5].Marker, 0xDA);
    EXPECT_EQ(data.ExifInfo->CameraMake, "Canon");
}

// A reader used for file after file keeps nothing of the earlier ones: what it finds in a
// file is what a fresh reader finds, section for section.
TEST(SectionReader, ReusedReaderKeepsNothingOfTheFileBefore)
{
    const std::string first = MakeJpeg({Section(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)),
                                        CameraApp1(), Section(0xED, "Photoshop 3.0"), Section(0xFE, "note")});
    const std::string second = MakeJpeg({Section(0xFE, "other")});
    PhotoMetadata reused;
    ASSERT_TRUE(reused.ReadMetadataFromMemory("first.jpg", first));
    ASSERT_TRUE(reused.HasExif());
    PhotoMetadata fresh;
    ASSERT_EQ(reused.ReadMetadataFromMemory("second.jpg", second), fresh.ReadMetadataFromMemory("second.jpg", second));
    EXPECT_FALSE(reused.HasExif());
    EXPECT_EQ(reused.ExifInfo, nullptr);
    EXPECT_EQ(reused.IptcSection, nullptr);
    EXPECT_EQ(reused.App0Section, nullptr);
    ASSERT_NE(reused.CommentSection, nullptr);
    EXPECT_EQ(reused.CommentSection->Data.substr(2), "other");
    EXPECT_EQ(reused.SectionCount, fresh.SectionCount);
    for (size_t i = 0; i < reused.Sections.size(); ++i) {
        EXPECT_EQ(reused.Sections[i].Marker, fresh.Sections[i].Marker) << i;
        EXPECT_EQ(reused.Sections[i].Data, fresh.Sections[i].Data) << i;
    }
}

struct FailureCase {
    const char* Name;
    std::string FileName;
    std::string Bytes;
    bool Read;
    const char* Error;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.Name; }

class SectionFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SectionFailures, ResultAndErrorText)
{
    const FailureCase& c = GetParam();
    PhotoMetadata data;
    EXPECT_EQ(data.ReadMetadataFromMemory(c.FileName, c.Bytes), c.Read);
    EXPECT_EQ(data.Outcome.Text, c.Error);
}

std::string App1With(const std::string& body) { return Section(0xE1, body); }

std::string IllegallySized()
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    b.SetEntryCount(0, 500);
    return b.App1();
}

std::string FirstDirectoryFails()
{
    // The second entry's value offset is fine but its count runs a renderer into a
    // conversion error (a Flash of two elements), ending the walk of IFD0.
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    b.Short(0, 0x9209, {1, 0});
    return b.App1();
}

std::string CameraTiff()
{
    ExifBuilder b;
    b.Ascii(0, 0x010F, "Canon");
    return b.Tiff();
}

const std::string kPlainJpeg = MakeJpeg({Section(0xE0, "JFIF\0\x01\x01")});

INSTANTIATE_TEST_SUITE_P(
    Table, SectionFailures,
    ::testing::Values(
        FailureCase{"OtherExtension", "a.jfif", MakeJpeg({CameraApp1()}), false, "Not an EXIF file"},
        FailureCase{"NoExtension", "jpg", MakeJpeg({CameraApp1()}), false, "Not an EXIF file"},
        FailureCase{"NoSoi", "a.jpg", "\xFF\xD9" + CameraApp1(), false, "Not an EXIF file"},
        FailureCase{"NoMetadata", "a.jpg", kPlainJpeg, false, "Not an EXIF file"},
        FailureCase{"TiffWithoutMark", "a.tif", "XX*\0\x08\0\0\0", false, "Not an EXIF file"},
        FailureCase{"TiffTooShort", "a.tif", "II", false, "Not an EXIF file"},
        FailureCase{"App1NotExif", "a.jpg", MakeJpeg({App1With("http://ns.adobe.com/xap/1.0/")}), true, "<none>"},
        FailureCase{"BadAlignment", "a.jpg", MakeJpeg({App1With(std::string("Exif\0\0XX*\0", 10))}), true,
                    "<none>"},
        FailureCase{"IllegallySized", "a.jpg", MakeJpeg({IllegallySized()}), true, "<none>"},
        FailureCase{"FirstDirectoryFails", "a.jpg", MakeJpeg({FirstDirectoryFails()}), false, "Not an EXIF file"},
        FailureCase{"CaseOfExtension", "PHOTO.JPG", MakeJpeg({CameraApp1()}), true, "<none>"},
        FailureCase{"Jpe", "a.jpe", MakeJpeg({CameraApp1()}), true, "<none>"},
        // The bytes decide between JPEG and TIFF; the name only whether it is a picture.
        FailureCase{"TiffNamedJpg", "a.jpg", CameraTiff(), true, "<none>"},
        FailureCase{"JpegNamedTif", "a.NEF", MakeJpeg({CameraApp1()}), true, "<none>"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SectionReader, HeaderProblemsLeaveAnEmptyInfo)
{
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg({App1With("http://ns.adobe.com/xap/1.0/")})));
    EXPECT_TRUE(data.HasExif());
    ASSERT_TRUE(data.ExifInfo);
    EXPECT_TRUE(data.ExifInfo->TagList.empty());
    EXPECT_EQ(data.ExifInfo->DateTimePos, 0);
    EXPECT_EQ(data.ExifInfo->DateTimeAt(data.ExifInfo->DateTimeOriginalPos), 0);
}

TEST(SectionReader, FailedFirstDirectoryKeepsWhatWasStored)
{
    PhotoMetadata data;
    EXPECT_FALSE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg({FirstDirectoryFails()})));
    EXPECT_TRUE(data.HasExif());
    ASSERT_TRUE(data.ExifInfo);
    EXPECT_EQ(data.ExifInfo->TagText("Make"), "Canon");
    EXPECT_EQ(data.ExifInfo->IndexOfTag("Flash"), -1);
}

TEST(SectionReader, NoMetadataGivesUpAtTheFifthSectionKeepingApp0)
{
    PhotoMetadata data;
    EXPECT_FALSE(data.ReadMetadataFromMemory("a.jpg", kPlainJpeg));
    EXPECT_EQ(data.SectionCount, 5);
    EXPECT_EQ(data.App0Section, &data.Sections[1]);
}

TEST(SectionReader, FirstApp1IsTheExifSectionEvenWhenItIsXmp)
{
    ExifBuilder b;
    b.Ascii(0, 0x0132, "2005:07:14 12:30:45");
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg({App1With("http://ns.adobe.com/xap/1.0/"), b.App1()})));
    EXPECT_TRUE(data.HasExif());
    EXPECT_EQ(data.ExifInfo->DateTimePos, 0);
    EXPECT_EQ(data.SectionCount, 5);  // the second APP1 is dropped
    for (int i = 1; i <= data.SectionCount; ++i)
        EXPECT_FALSE(i > 1 && data.Sections[static_cast<size_t>(i)].Marker == 0xE1);
}

TEST(SectionReader, ExifAsTheSixthSectionIsNotTaken)
{
    std::vector<std::string> sections = {Section(0xFE, "hello"), Section(0xDB, "q"), Section(0xDB, "q"),
                                         Section(0xDB, "q"), Section(0xDB, "q"), CameraApp1()};
    PhotoMetadata data;
    EXPECT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg(sections)));
    EXPECT_FALSE(data.HasExif());
    EXPECT_TRUE(data.HasMetadata());
}

TEST(SectionReader, LastCommentAndFirstIptcAreKept)
{
    std::vector<std::string> sections = {Section(0xFE, "one"), Section(0xED, "first"), Section(0xFE, "two"),
                                         Section(0xED, "second")};
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg(sections)));
    EXPECT_EQ(data.CommentSection->Data.substr(2), "two");
    EXPECT_EQ(data.IptcSection->Data.substr(2), "first");
}

TEST(SectionReader, TwentySectionsWithoutScan)
{
    std::vector<std::string> sections = {Section(0xFE, "c")};
    for (int i = 0; i < 30; ++i)
        sections.push_back(Section(0xDB, "q"));
    PhotoMetadata data;
    EXPECT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg(sections, false)));
    EXPECT_EQ(data.SectionCount, 20);
}

TEST(SectionReader, FillBytesBeforeMarkersAreSkipped)
{
    std::string jpeg = MakeJpeg({CameraApp1()});
    jpeg.insert(2, "\xFF\xFF\xFF");
    PhotoMetadata data;
    EXPECT_TRUE(data.ReadMetadataFromMemory("a.jpg", jpeg));
    EXPECT_TRUE(data.HasExif());
}

// Every prefix of a file ends the loop cleanly; once the whole EXIF section is in, the
// read succeeds.
TEST(SectionReader, FilesCutShort)
{
    const std::string app1 = CameraApp1();
    const std::string jpeg = MakeJpeg({Section(0xE0, "JFIF"), app1});
    const size_t exifEnd = 2 + 8 + app1.size();
    for (size_t n = 0; n <= jpeg.size(); ++n) {
        PhotoMetadata data;
        const bool read = data.ReadMetadataFromMemory("a.jpg", std::string_view(jpeg).substr(0, n));
        EXPECT_EQ(read, n >= exifEnd) << n;
        EXPECT_EQ(data.HasExif(), n >= exifEnd) << n;
    }
}

TEST(SectionReader, SectionLengthPastTheEnd)
{
    std::string jpeg = "\xFF\xD8" + Section(0xFE, "note") + std::string("\xFF\xE1\xFF\xF0", 4) + "Exif";
    PhotoMetadata data;
    EXPECT_TRUE(data.ReadMetadataFromMemory("a.jpg", jpeg));
    EXPECT_FALSE(data.HasExif());
    EXPECT_EQ(data.Sections[2].Size, 0xFFF0);
    EXPECT_EQ(data.Sections[2].Data.size(), 6u);
}

TEST(SectionReader, FileReadingMatchesMemoryReading)
{
    test::TempDir dir;
    const std::string jpeg = MakeJpeg({CameraApp1()});
    test::WriteFile(dir / "x.jpg", jpeg);
    PhotoMetadata fromFile, fromMemory;
    ASSERT_TRUE(fromFile.ReadMetadata((dir / "x.jpg").string()));
    ASSERT_TRUE(fromMemory.ReadMetadataFromMemory("x.jpg", jpeg));
    EXPECT_EQ(fromFile.ExifInfo->ListingText, fromMemory.ExifInfo->ListingText);
    EXPECT_EQ(fromFile.FileSize, static_cast<int32_t>(jpeg.size()));
    EXPECT_EQ(fromFile.FileName, (dir / "x.jpg").string());
    EXPECT_NE(fromFile.FileDate, 0);
}

TEST(SectionReader, FileFacts)
{
    test::TempDir dir;
    const auto path = (dir / "x.jpg").string();
    test::WriteFile(path, MakeJpeg({CameraApp1()}));
    const TDateTime when = *TryEncodeDateTime(2010, 6, 1, 10, 20, 31);
    ASSERT_TRUE(SetFileModifiedTime(path, when));
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadata(path));
    EXPECT_NEAR(data.FileDate, *TryEncodeDateTime(2010, 6, 1, 10, 20, 30), 1e-9);
    // A file time before 1980 is floored to the even second like any other, as the batch
    // dates the file.
    DateTimeFields old{1975, 3, 4, 5, 6, 13};
    const timespec times[2] = {{0, UTIME_OMIT}, {*LocalDateTimeToUnix(old), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_TRUE(data.ReadMetadata(path));
    EXPECT_NEAR(data.FileDate, *TryEncodeDateTime(1975, 3, 4, 5, 6, 12), 1e-9);
}

TEST(SectionReader, MissingAndUnreadableFiles)
{
    test::TempDir dir;
    PhotoMetadata data;
    EXPECT_FALSE(data.ReadMetadata((dir / "none.jpg").string()));
    EXPECT_EQ(data.Outcome.Text, "");

    const auto path = (dir / "locked.jpg").string();
    test::WriteFile(path, MakeJpeg({CameraApp1()}));
    std::filesystem::permissions(path, std::filesystem::perms::none);
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {  // running as root: cannot lock it
        std::fclose(f);
        GTEST_SKIP() << "files stay readable for this user";
    }
    EXPECT_FALSE(data.ReadMetadata(path));
    EXPECT_EQ(data.Outcome.Text, "Illegal Exif construction");
}

TEST(SectionReader, ReadingAgainStartsOver)
{
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.jpg", MakeJpeg({CameraApp1()})));
    EXPECT_FALSE(data.ReadMetadataFromMemory("a.jpg", kPlainJpeg));
    EXPECT_FALSE(data.HasExif());
    EXPECT_FALSE(data.ExifInfo);
}

TEST(TiffReader, WalksTheFirstDirectoryWithBaseMinusSeven)
{
    for (bool big : {false, true}) {
        ExifBuilder b(big);
        b.Ascii(0, 0x010F, "NIKON CORPORATION");
        b.Short(0, 0x0100, {3008});
        const std::string tiff = b.Tiff();
        PhotoMetadata data;
        ASSERT_TRUE(data.ReadMetadataFromMemory("a.NEF", tiff));
        EXPECT_EQ(data.Outcome.Text, "<none>");
        EXPECT_EQ(data.ExifSection, &data.Sections[1]);
        EXPECT_EQ(data.SectionCount, 1);
        EXPECT_EQ(data.ReadAs, PictureFileKind::Tiff);
        ASSERT_TRUE(data.ExifInfo);
        EXPECT_TRUE(data.ExifInfo->FromTiff);
        EXPECT_EQ(data.ExifInfo->CameraMake, "NIKON CORPORATION");
        EXPECT_EQ(data.ExifInfo->Width, 3008);
        // Width's value field: entry 1 at file offset 8 + 2 + 12, plus 8, less 7.
        EXPECT_EQ(data.ExifInfo->WidthPos, 8 + 2 + 12 + 8 - 7);
        EXPECT_EQ(data.Sections[1].Data, tiff.substr(8));
    }
}

// A file is read through a small buffer, with long section bodies read straight into
// their strings; from memory it is read in one piece. Both must find the same sections,
// whatever the sizes: bodies shorter and longer than the buffer, ending just before and
// after its edge, a file cut inside a body, a TIFF file longer than its 256000-byte block.
TEST(SectionReader, FileAndMemoryFindTheSameSections)
{
    std::vector<std::pair<std::string, std::string>> cases;  // file name, bytes
    for (size_t text : {10u, 3000u, 4050u, 4070u, 4100u, 9000u, 60000u}) {
        ExifBuilder b;
        b.Ascii(0, 0x010F, "Canon");
        b.Ascii(0, 0x010E, std::string(text, 'd'));
        const std::string jpeg = MakeJpeg({Section(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)),
                                           b.App1(), Section(0xFE, "note")});
        cases.emplace_back("t" + std::to_string(text) + ".jpg", jpeg);
        cases.emplace_back("cut" + std::to_string(text) + ".jpg", jpeg.substr(0, 30 + text / 2));
    }
    ExifBuilder b;
    b.Short(0, 0x0100, {640});
    cases.emplace_back("long.tif", b.Tiff() + std::string(300000, 'x'));
    b.SetFirstOffset(8 + 300000);
    cases.emplace_back("end.tif", b.Tiff().substr(0, 8) + std::string(300000, 'x') + b.Tiff().substr(8));

    test::TempDir dir;
    for (const auto& [name, bytes] : cases) {
        test::WriteFile(dir / name, bytes);
        PhotoMetadata fromFile, fromMemory;
        EXPECT_EQ(fromFile.ReadMetadata((dir / name).string()), fromMemory.ReadMetadataFromMemory(name, bytes))
            << name;
        EXPECT_EQ(fromFile.Outcome.Text, fromMemory.Outcome.Text) << name;
        ASSERT_EQ(fromFile.SectionCount, fromMemory.SectionCount) << name;
        for (int i = 1; i <= fromFile.SectionCount; ++i) {
            EXPECT_EQ(fromFile.Sections[static_cast<size_t>(i)].Marker, fromMemory.Sections[static_cast<size_t>(i)].Marker)
                << name << " section " << i;
            EXPECT_TRUE(fromFile.Sections[static_cast<size_t>(i)].Data == fromMemory.Sections[static_cast<size_t>(i)].Data)
                << name << " section " << i;
        }
    }
}

TEST(TiffReader, FollowsTheHeadersDirectoryOffset)
{
    ExifBuilder b;
    b.Short(0, 0x0100, {640});
    std::string tiff = b.Tiff();
    // Move the directory to the end, as editors write it, with picture bytes before it.
    const std::string dir = tiff.substr(8);
    tiff = tiff.substr(0, 4) + b.U32(8 + 100) + std::string(100, '\x55') + dir;
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.tif", tiff));
    EXPECT_EQ(data.ExifInfo->Width, 640);
}

// Editors write the first directory after the picture: past the first 256000 bytes, the
// block reaches on to it. One outside the file is a directory that does not fit.
TEST(TiffReader, FindsAFirstDirectoryPastTheFirst256000Bytes)
{
    ExifBuilder b;
    const int ifd0 = b.AddIfd();
    b.Undefined(0, 0x9286, std::string(300000, 'x'));  // picture bytes before the directory
    b.Ascii(ifd0, 0x010F, "Editor's camera").Short(ifd0, 0x0100, {640});
    b.SetFirstOffset(b.IfdOffset(ifd0));
    const std::string tiff = b.Tiff();
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.tif", tiff));
    EXPECT_EQ(data.Outcome.Text, "<none>");
    EXPECT_EQ(data.ExifInfo->CameraMake, "Editor's camera");
    EXPECT_EQ(data.ExifInfo->Width, 640);
    EXPECT_EQ(data.Sections[1].Data, tiff.substr(8));

    for (const uint32_t outside : {static_cast<uint32_t>(tiff.size()), 2u, 0x80000000u}) {
        b.SetFirstOffset(outside);
        PhotoMetadata none;
        ASSERT_TRUE(none.ReadMetadataFromMemory("a.tif", b.Tiff())) << outside;
        EXPECT_EQ(none.Outcome.Text, "<none>");
        EXPECT_TRUE(none.HasExif());
        EXPECT_TRUE(none.ExifInfo->TagList.empty()) << outside;
    }
}

TEST(TiffReader, ReadsOnlyTheFirst256000Bytes)
{
    ExifBuilder b;
    b.Short(0, 0x0100, {640});
    std::string tiff = b.Tiff() + std::string(300000, 'x');
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("a.tiff", tiff));
    EXPECT_EQ(data.Sections[1].Data.size(), 256000u);
}

}  // namespace
}  // namespace morvik
