// Hostile files through the metadata reader's file entry point: every one gives its
// defined result and error text, and none reads outside its bytes or hangs (the sanitizer
// build runs these too).
#include "metadata/file/PhotoMetadata.h"
#include "support/ExifBuilder.h"
#include "support/MemoryLimit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace morvik {
namespace {

using test::ExifBuilder;
using test::MakeJpeg;
using test::Section;
using test::TempDir;
using test::WriteFile;

std::string App2(int i) { return Section(0xE2, "ICC_PROFILE " + std::to_string(i)); }

// IFD 0 with the camera's make and a date, the EXIF directory with a size; `shape` adds the
// hostile part.
std::string Exif(const std::function<void(ExifBuilder&, int exif)>& shape, bool bigEndian = false)
{
    ExifBuilder b(bigEndian);
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0132, "2005:07:14 12:30:45").Pointer(0, 0x8769, exif);
    b.Short(exif, 0xA002, {1600});
    shape(b, exif);
    return b.App1();
}

struct Case {
    const char* Name;
    std::string Bytes;
    bool Result;
    const char* ErrorText;
    bool HasExif;
};

TEST(BadInputReader, HostileFilesGiveTheirDefinedResults)
{
    std::string manySections = Exif([](ExifBuilder&, int) {});
    std::string manyWithout = Section(0xE0, std::string("JFIF\0", 5));
    for (int i = 0; i < 24; ++i) {
        manySections += App2(i);
        manyWithout += App2(i);
    }
    const std::string longApp1 = "\xFF\xD8\xFF\xE1\xFF\xF0" + std::string("Exif\0\0II*\0\x08\0\0\0", 14);

    const std::vector<Case> cases = {
        {"zero bytes", "", false, "Not an EXIF file", false},
        {"a text file", "Dear diary,\nthe light was good today.\n", false, "Not an EXIF file", false},
        {"only SOI", "\xFF\xD8", false, "Not an EXIF file", false},
        {"25 APPn sections after the EXIF block", MakeJpeg({manySections}), true, "<none>", true},
        {"25 APPn sections without metadata", MakeJpeg({manyWithout}), false, "Not an EXIF file", false},
        {"APP1 whose length runs past the end", longApp1, false, "Not an EXIF file", false},
        {"IFD 0 linking to itself",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) { b.Pointer(exif, 0xA005, 0).Pointer(exif, 0x8769, exif); })}),
         true, "<none>", true},
        {"two pointers to one directory",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) { b.Pointer(0, 0x8825, exif).Pointer(0, 0xA005, exif); })}),
         true, "<none>", true},
        {"sub-directory offsets at and above 0x80000000",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) {
             b.RawEntry(exif, 0xA005, 4, 1, 0x80000000u).RawEntry(0, 0x8825, 4, 1, 0xFFFFFFF7u);
         })}),
         true, "<none>", true},
        {"value offsets at and above 0x80000000",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) {
             b.RawEntry(exif, 0x829A, 5, 1, 0x80000000u).RawEntry(exif, 0x9003, 2, 20, 0xFFFFFFFFu);
         })}),
         true, "<none>", true},
        {"first directory at 0x80000000",
         MakeJpeg({Exif([](ExifBuilder& b, int) { b.SetFirstOffset(0x80000000u); })}), false, "Not an EXIF file",
         true},
        {"counts near 2^31",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) {
             b.RawEntry(exif, 0x9003, 2, 0x7FFFFFFFu, 8).RawEntry(exif, 0x829A, 5, 0x80000001u, 8);
             b.RawEntry(exif, 0xA002, 3, 0x7FFFFFFFu, 8).RawEntry(exif, 0x927C, 7, 0xFFFFFFFFu, 8);
         })}),
         true, "<none>", true},
        {"type numbers above 12",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) {
             b.RawEntry(exif, 0x829A, 13, 1, 8).RawEntry(exif, 0x9003, 0xFFFF, 1, 8).RawEntry(exif, 0x9004, 0, 1, 8);
         })}),
         true, "<none>", true},
        {"a directory claiming 65535 entries",
         MakeJpeg({Exif([](ExifBuilder& b, int exif) { b.SetEntryCount(exif, 0xFFFF); })}), true, "<none>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        WriteFile(dir / "x.jpg", c.Bytes);
        PhotoMetadata data;
        EXPECT_EQ(data.ReadMetadata((dir / "x.jpg").string()), c.Result);
        EXPECT_EQ(data.Outcome.Text, c.ErrorText);
        EXPECT_EQ(data.HasExif(), c.HasExif);
        EXPECT_LE(data.SectionCount, 20);
    }
}

TEST(BadInputReader, SectionCountStopsAtTwenty)
{
    std::string many = Exif([](ExifBuilder&, int) {});
    for (int i = 0; i < 24; ++i)
        many += App2(i);
    PhotoMetadata data;
    ASSERT_TRUE(data.ReadMetadataFromMemory("x.jpg", MakeJpeg({many})));
    EXPECT_EQ(data.SectionCount, 20);
    EXPECT_EQ(data.Sections[20].Marker, 0xE2);
}

// The file cut at every byte: at each section boundary and inside every section and the
// scan. Until the EXIF section is whole the read fails; from there on it succeeds with the
// whole block, and the IPTC and comment sections count once they are whole.
TEST(BadInputReader, FileCutAnywhere)
{
    const std::string app1 = Exif([](ExifBuilder&, int) {});
    const std::string app13 = Section(0xED, std::string("Photoshop 3.0\0008BIM\x04\x04\0\0\0\0\0\x08\x1C\x02\x05\0\x03" "abc", 34));
    const std::string com = Section(0xFE, "a comment");
    const std::string file = MakeJpeg({app1, app13, com});
    const size_t exifEnd = 2 + app1.size(), iptcEnd = exifEnd + app13.size(), comEnd = iptcEnd + com.size();
    for (size_t n = 0; n <= file.size(); ++n) {
        SCOPED_TRACE(n);
        PhotoMetadata data;
        const bool ok = data.ReadMetadataFromMemory("x.jpg", std::string_view(file).substr(0, n));
        EXPECT_EQ(ok, n >= exifEnd);
        EXPECT_EQ(data.HasExif(), n >= exifEnd);
        EXPECT_EQ(data.IptcSection != nullptr, n >= iptcEnd);
        EXPECT_EQ(data.CommentSection != nullptr, n >= comEnd);
        if (data.HasExif()) {
            EXPECT_EQ("\xFF\xE1" + data.ExifSection->Data, app1);
        }
    }
}

// The same shapes as TIFF files, read for their metadata only.
TEST(BadInputReader, HostileTiffFiles)
{
    ExifBuilder loop;
    loop.Ascii(0, 0x010F, "NIKON").Pointer(0, 0x8769, 0).RawEntry(0, 0x8825, 4, 1, 0x80000000u);
    ExifBuilder counts(true);
    counts.RawEntry(0, 0x010F, 2, 0x7FFFFFFFu, 8).RawEntry(0, 0x0110, 0x00FF, 0xFFFFFFFFu, 0);
    const struct {
        const char* Name;
        std::string Bytes;
        bool Result;
    } cases[] = {
        {"zero bytes", "", false},
        {"header only", std::string("II*\0", 4), false},
        {"loop and a high offset", loop.Tiff(), true},
        {"huge counts and types", counts.Tiff(), true},
        {"cut inside the directory", loop.Tiff().substr(0, 14), true},  // a directory that does not fit is skipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        WriteFile(dir / "x.tif", c.Bytes);
        PhotoMetadata data;
        EXPECT_EQ(data.ReadMetadata((dir / "x.tif").string()), c.Result);
    }
}

// Running out of memory in the middle of a walk is no malformed file: no walk swallows it,
// the reading fails with its reason and leaves nothing behind, and the same reader reads
// the file once memory is back.
TEST(BadInputReader, RunningOutOfMemoryFailsTheFileWithItsReason)
{
    TempDir dir;
    const std::string path = (dir / "crowded.jpg").string();
    const std::string bytes = test::JpegOutgrowingMemory();
    WriteFile(path, bytes);
    PhotoMetadata data;
    for (const bool fromMemory : {false, true}) {
        SCOPED_TRACE(fromMemory);
        {
            test::MemoryLimit limit(test::kReadingLimit);
            EXPECT_FALSE(fromMemory ? data.ReadMetadataFromMemory(path, bytes) : data.ReadMetadata(path));
        }
        EXPECT_TRUE(data.Outcome.Faulted());
        EXPECT_EQ(data.Outcome.Text, kOutOfMemoryText);
        EXPECT_EQ(data.FileName, path);
        EXPECT_FALSE(data.HasExif());
        EXPECT_FALSE(data.ExifInfo);
    }
    ASSERT_TRUE(data.ReadMetadata(path));
    EXPECT_FALSE(data.Outcome.Faulted());
    EXPECT_EQ(data.ExifInfo->TagList.size(), 1002u);
}

}  // namespace
}  // namespace morvik
