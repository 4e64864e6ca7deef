#include "metadata/file/PhotoMetadata.h"
#include "platform/DateMask.h"
#include "platform/Exceptions.h"
#include "stamping/FolderBatch.h"
#include "stamping/NameDate.h"
#include "stamping/PhotoDate.h"
#include "support/ExifBuilder.h"
#include "support/MemoryLimit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace morvik;
using morvik::test::TempDir;
using morvik::test::WriteFile;

namespace {

using morvik::test::ExifBuilder;
using morvik::test::MakeJpeg;
using morvik::test::Section;
using Source = morvik::PhotoDateSource;

struct DateTag {
    uint16_t Tag;
    std::string Text;  // 19 characters; written with its closing NUL
};

// An APP1 EXIF block: IFD0 with DateTime (when given) and a pointer to the EXIF
// sub-directory holding DateTimeOriginal and DateTimeDigitized (when given).
std::string ExifApp1(const std::vector<DateTag>& ifd0Dates, const std::vector<DateTag>& exifDates,
                     bool bigEndian = false)
{
    ExifBuilder b(bigEndian);
    const int exif = b.AddIfd();
    for (const auto& d : ifd0Dates)
        b.Ascii(0, d.Tag, d.Text);
    b.Pointer(0, 0x8769, exif);
    for (const auto& d : exifDates)
        b.Ascii(exif, d.Tag, d.Text);
    return b.App1();
}

std::string App0() { return Section(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14)); }
std::string Comment(const std::string& text) { return Section(0xFE, text); }
std::string Jpeg(const std::vector<std::string>& sections) { return MakeJpeg(sections); }

TDateTime At(int y, int mo, int d, int h, int mi, int s)
{
    return TryEncodeDateTime(y, mo, d, h, mi, s).value();
}

const TDateTime kFallback = At(2001, 2, 3, 4, 5, 6);

const std::vector<DateTag> kIfd0 = {{0x0132, "2006:05:10 14:03:27"}};
const std::vector<DateTag> kExif = {{0x9003, "2005:01:02 03:04:05"}, {0x9004, "2004:11:12 13:14:15"}};

}  // namespace

TEST(PhotoDate, ChosenExifDate)
{
    TempDir dir;
    const auto path = (dir / "photo.jpg").string();
    WriteFile(path, Jpeg({App0(), ExifApp1(kIfd0, kExif)}));
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTime), At(2006, 5, 10, 14, 3, 27));
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTimeOriginal), At(2005, 1, 2, 3, 4, 5));
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTimeDigitized), At(2004, 11, 12, 13, 14, 15));
    // No entry selected in the date-source list, or any other index: the fallback.
    for (int source : {-1, 3, 1000})
        EXPECT_EQ(PhotoDate(path, kFallback, Source(source)), kFallback) << source;
    // Extensions are compared without regard to case.
    const auto upper = (dir / "IMG_0001.JPG").string();
    WriteFile(upper, Jpeg({ExifApp1(kIfd0, kExif)}));
    EXPECT_EQ(PhotoDate(upper, kFallback, Source::DateTimeOriginal), At(2005, 1, 2, 3, 4, 5));
    // Motorola byte order reads the same dates.
    const auto motorola = (dir / "mm.jpeg").string();
    WriteFile(motorola, Jpeg({ExifApp1(kIfd0, kExif, true)}));
    EXPECT_EQ(PhotoDate(motorola, kFallback, Source::DateTime), At(2006, 5, 10, 14, 3, 27));
    EXPECT_EQ(PhotoDate(motorola, kFallback, Source::DateTimeDigitized), At(2004, 11, 12, 13, 14, 15));
}

TEST(PhotoDate, ExifBlockWithoutTheDateGivesZero)
{
    TempDir dir;
    const auto path = (dir / "nodigitized.jpg").string();
    WriteFile(path, Jpeg({ExifApp1(kIfd0, {{0x9003, "2005:01:02 03:04:05"}})}));
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTimeDigitized), 0);
    EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", PhotoDate(path, kFallback, Source::DateTimeDigitized)),
              "30.12.1899 00:00:00");
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTimeOriginal), At(2005, 1, 2, 3, 4, 5));

    const auto empty = (dir / "nodates.jpg").string();
    WriteFile(empty, Jpeg({ExifApp1({}, {})}));
    for (int source : {0, 1, 2})
        EXPECT_EQ(PhotoDate(empty, kFallback, Source(source)), 0) << source;

    const auto broken = (dir / "broken.jpg").string();
    WriteFile(broken, Jpeg({ExifApp1({{0x0132, "2006:13:45 99:00:00"}}, {{0x9003, "not a date at all!!"}})}));
    EXPECT_EQ(PhotoDate(broken, kFallback, Source::DateTime), 0);
    EXPECT_EQ(PhotoDate(broken, kFallback, Source::DateTimeOriginal), 0);
}

TEST(PhotoDate, App1ThatIsNotExifGivesZero)
{
    TempDir dir;
    const auto path = (dir / "xmp.jpg").string();
    WriteFile(path, Jpeg({App0(), Section(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41))}));
    EXPECT_EQ(PhotoDate(path, kFallback, Source::DateTimeOriginal), 0);
    EXPECT_EQ(PhotoDate(path, kFallback, Source::Fallback), kFallback);
}

TEST(PhotoDate, FilesWithoutExifOrUnreadableTakeTheFallback)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"plain.jpg", Jpeg({App0()})},                             // no metadata at all
        {"comment.jpg", Jpeg({App0(), Comment("just a note")})},  // metadata, no EXIF block
        {"notjpeg.jpg", "this is not a picture"},
        {"empty.jpg", ""},
        {"photo.png", Jpeg({ExifApp1(kIfd0, kExif)})},            // not an extension the reader takes
    };
    for (const auto& c : cases) {
        const auto path = (dir / c.name).string();
        WriteFile(path, c.bytes);
        for (int source : {0, 1, 2})
            EXPECT_EQ(PhotoDate(path, kFallback, Source(source)), kFallback) << c.name << " " << source;
    }
    EXPECT_EQ(PhotoDate((dir / "missing.jpg").string(), kFallback, Source::DateTimeOriginal), kFallback);
    EXPECT_EQ(PhotoDate(dir.path().string(), kFallback, Source::DateTimeOriginal), kFallback);  // a folder
}

TEST(PhotoDate, ReaderKeptByTheCaller)
{
    PhotoMetadata reader(ParseModeFull);
    const bool processed = reader.ReadMetadataFromMemory("a.jpg", Jpeg({ExifApp1(kIfd0, kExif)}));
    ASSERT_TRUE(processed);
    EXPECT_EQ(PhotoDate(reader, processed, "a.jpg", kFallback, Source::DateTime).Date, At(2006, 5, 10, 14, 3, 27));
    EXPECT_EQ(PhotoDate(reader, false, "a.jpg", kFallback, Source::DateTime).Date, kFallback);
}

TEST(PhotoDate, DatesInFileNames)
{
    const struct {
        const char* Name;
        TDateTime Expected;  // 0: no date in the name
    } cases[] = {
        {"IMG_20230514_123456.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"IMG-20230514-WA0003.jpg", At(2023, 5, 14, 0, 0, 0)},
        {"VID_20230514_123456.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"PXL_20230514_123456789.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"signal-2023-05-14-123456.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"Screenshot_20230514-123456.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"Screenshot 2023-05-14 at 12.34.56.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"20230514_123456.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"20230514_123456_1.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"20230514_123456(2).jpg", At(2023, 5, 14, 12, 34, 56)},
        {"2023-05-14 12.34.56.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"2023-05-14_12-34-56.jpg", At(2023, 5, 14, 12, 34, 56)},
        {"/photos/2019-01-01/IMG_20230514_123456.jpg", At(2023, 5, 14, 12, 34, 56)},  // the name, not the folder
        {"1990-01-01 00.00.00.jpg", At(1990, 1, 1, 0, 0, 0)},
        {"IMG_21001231_235959.jpg", At(2100, 12, 31, 23, 59, 59)},
        {"IMG_20240229_120000.jpg", At(2024, 2, 29, 12, 0, 0)},
        // Near misses.
        {"DSC_0001.jpg", 0},
        {"IMG_1234.jpg", 0},
        {"12345678901234.jpg", 0},           // a serial number, no date
        {"P20230514123456789.jpg", 0},       // digits of a longer run
        {"IMG_19891231_235959.jpg", 0},      // before 1990
        {"IMG_21010101_000000.jpg", 0},      // after 2100
        {"IMG_20230229_120000.jpg", 0},      // no 29 February in 2023
        {"IMG_20231301_120000.jpg", 0},      // month 13
        {"IMG_20230514_246000.jpg", 0},      // a time that is none, and no date alone either
        {"IMG_20230514_125960.jpg", 0},
        {"/photos/2019-01-01/DSC_0001.jpg", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateFromFileName(c.Name).value_or(0), c.Expected) << c.Name;
}

TEST(PhotoDate, FileNameAndAutomaticSources)
{
    // What dates a photo by the file name (3) and automatically (4), and what dated it.
    TempDir dir;
    const std::string exifAll = Jpeg({ExifApp1(kIfd0, kExif)});
    const std::string exifNoOriginal = Jpeg({ExifApp1(kIfd0, {{0x9004, "2004:11:12 13:14:15"}})});
    const std::string exifBrokenDates =
        Jpeg({ExifApp1({{0x0132, "0000:00:00 00:00:00"}}, {{0x9003, "not a date at all!!"}})});
    const std::string noExif = Jpeg({App0()});
    const TDateTime named = At(2023, 5, 14, 12, 34, 56);
    const struct {
        const char* Name;
        const std::string& Bytes;
        int Source;
        TDateTime Date;
        DateOrigin Origin;
    } cases[] = {
        {"IMG_20230514_123456.jpg", exifAll, 3, named, DateOrigin::FileName},
        {"DSC_0001.jpg", exifAll, 3, kFallback, DateOrigin::FileTime},
        {"IMG_20230514_123456.jpg", exifAll, 4, At(2005, 1, 2, 3, 4, 5), DateOrigin::ExifTag},
        {"IMG_20230514_123456.jpg", exifNoOriginal, 4, At(2004, 11, 12, 13, 14, 15), DateOrigin::ExifTag},
        {"IMG_20230514_123456.jpg", exifBrokenDates, 4, named, DateOrigin::FileName},
        {"IMG_20230514_123456.jpg", noExif, 4, named, DateOrigin::FileName},
        {"DSC_0001.jpg", exifBrokenDates, 4, kFallback, DateOrigin::FileTime},
        {"DSC_0001.jpg", noExif, 4, kFallback, DateOrigin::FileTime},
        // The EXIF sources keep their rules, 1899 included.
        {"IMG_20230514_123456.jpg", exifNoOriginal, 1, 0, DateOrigin::ExifTag},
        {"IMG_20230514_123456.jpg", noExif, 1, kFallback, DateOrigin::FileTime},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " source " + std::to_string(c.Source));
        PhotoMetadata reader(ParseModeFull);
        const bool processed = reader.ReadMetadataFromMemory(c.Name, c.Bytes);
        const PhotoDating dating = PhotoDate(reader, processed, (dir / c.Name).string(), kFallback, Source(c.Source));
        EXPECT_EQ(dating.Date, c.Date);
        EXPECT_EQ(dating.Origin, c.Origin);
    }
}

TEST(PhotoDate, OrientationOfThePhoto)
{
    struct Case {
        std::vector<uint16_t> Values;  // none: no Orientation entry
        bool BigEndian;
        int Expected;
    };
    const Case cases[] = {{{6}, false, 6}, {{8}, true, 8}, {{3}, false, 3}, {{}, false, 1},
                          {{9}, false, 1}, {{0}, true, 1}};
    for (const Case& c : cases) {
        ExifBuilder b(c.BigEndian);
        b.Ascii(0, 0x010F, "Camera");
        if (!c.Values.empty())
            b.Short(0, 0x0112, {c.Values[0]});
        PhotoMetadata reader(ParseModeFull);
        const bool processed = reader.ReadMetadataFromMemory("a.jpg", Jpeg({b.App1()}));
        ASSERT_TRUE(processed);
        EXPECT_EQ(PhotoOrientation(reader, processed), c.Expected) << c.Expected;
        EXPECT_EQ(PhotoOrientation(reader, false), 1);
    }
    PhotoMetadata plain(ParseModeFull);
    EXPECT_EQ(PhotoOrientation(plain, plain.ReadMetadataFromMemory("a.jpg", Jpeg({App0()}))), 1);

    // Only IFD0's entry is the photo's, as viewers read it, even when the walk meets the
    // EXIF directory's first because its pointer comes before IFD0's own entry.
    for (const bool inFirst : {true, false}) {
        ExifBuilder b(false);
        const int exif = b.AddIfd();
        b.Pointer(0, 0x8769, exif);
        if (inFirst)
            b.Short(0, 0x0112, {3});
        b.Short(exif, 0x0112, {6});
        PhotoMetadata reader(ParseModeFull);
        const bool processed = reader.ReadMetadataFromMemory("a.jpg", Jpeg({b.App1()}));
        EXPECT_EQ(PhotoOrientation(reader, processed), inFirst ? 3 : 1);
    }
}

// A photo whose reading runs out of memory is no photo without a date: the file fails,
// in the batch's step and in the single picture's reading alike, with its name and reason.
TEST(PhotoDate, RunningOutOfMemoryIsTheFilesFailure)
{
    TempDir dir;
    const std::string path = (dir / "crowded.jpg").string();
    const std::string bytes = morvik::test::JpegOutgrowingMemory();
    WriteFile(path, bytes);
    const std::string message = "Cannot read file \"" + path + "\". " + kOutOfMemoryText;
    morvik::test::MemoryLimit limit(morvik::test::kReadingLimit);
    try {
        TBatchSteps().DatePhoto(path, bytes, kFallback, Source::DateTimeOriginal);
        ADD_FAILURE() << "the batch's step dated the file";
    } catch (const Exception& e) {
        EXPECT_EQ(e.what(), message);
    }
    try {
        PhotoDate(path, kFallback, Source::DateTimeOriginal);
        ADD_FAILURE() << "the file was dated";
    } catch (const Exception& e) {
        EXPECT_EQ(e.what(), message);
    }
}

TEST(PhotoDate, CameraSamplesGiveTheirOriginalDate)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    const auto dir = morvik::test::CameraSamplesDir();
    struct Case {
        const char* file;
        int y, mo, d, h, mi, s;
    };
    const Case cases[] = {
        {"Canon_40D.jpg", 2008, 5, 30, 15, 56, 1},
        {"Canon_PowerShot_S40.jpg", 2003, 12, 14, 12, 1, 44},
        {"Fujifilm_FinePix_E500.jpg", 2006, 8, 17, 9, 24, 48},
        {"Kodak_CX7530.jpg", 2005, 8, 13, 9, 47, 23},
        {"Nikon_D70.jpg", 2008, 3, 15, 9, 52, 1},
        {"Olympus_C8080WZ.jpg", 2006, 10, 22, 15, 44, 29},
        {"Pentax_K10D.jpg", 2008, 5, 4, 16, 47, 24},
        {"Sony_HDR-HC3.jpg", 2007, 6, 15, 4, 42, 32},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PhotoDate((dir / c.file).string(), kFallback, Source::DateTimeOriginal),
                  At(c.y, c.mo, c.d, c.h, c.mi, c.s))
            << c.file;
    // The trail camera keeps its date only inside its maker note: the EXIF block has no
    // DateTimeOriginal, so the photo is dated 0, not by the fallback.
    EXPECT_EQ(PhotoDate((dir / "Reconyx_HC500_Hyperfire.jpg").string(), kFallback, Source::DateTimeOriginal), 0);
}
