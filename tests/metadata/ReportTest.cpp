#include "metadata/file/PhotoMetadata.h"
#include "metadata/JpegTestSupport.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvik {
namespace {

using test::TiffBytes;

// Regional settings with a day.month.year short date and a point for decimals.
class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FormatSettings().ShortDateFormat = "dd.mm.yyyy";
        reader_.ExifSection = &reader_.Sections[1];
        reader_.Outcome = ReadingOutcome{ReadingEnd::Read, "<none>"};
        reader_.FileName = "/photos/2004/IMG_0001.JPG";
        reader_.FileSize = 1500000;
        reader_.FileDate = *TryEncodeDateTime(2004, 5, 6, 7, 8, 9);
        reader_.ExifInfo = std::make_unique<ExifDirectory>(ParseModeFull);
        reader_.ExifInfo->CameraMake = "Canon";
        reader_.ExifInfo->CameraModel = "Canon PowerShot A70";
        reader_.ExifInfo->DateTimeText = "2004:05:06 07:08:09";
        reader_.ExifInfo->Width = 2048;
        reader_.ExifInfo->Height = 1536;
    }
    // A reader that took an EXIF section, with the facts the report reads.
    PhotoMetadata& Reader() { return reader_; }
    ExifDirectory& Info() { return *Reader().ExifInfo; }
    void AddTag(const std::string& name, const std::string& text)
    {
        TagEntry e;
        e.TagNo = 1;
        e.TagName = name;
        e.ValueText = text;
        Info().AppendTag(e);
    }

    test::ScopedFormatSettings english_;
    PhotoMetadata reader_;
};

const std::string kFixedLines =
    "File Name: IMG_0001.JPG\r\n"
    "File Size: 1464k\r\n"
    "File Date: 06.05.2004\r\n"
    "Photo Date: 2004:05:06 07:08:09\r\n"
    "Make (Model): Canon (Canon PowerShot A70)\r\n"
    "Dimensions: 2048 x 1536";

TEST_F(ReportTest, WithoutExposureTagsHasTheSixLinesAndFlash)
{
    EXPECT_EQ(Reader().SummaryText(), kFixedLines + "\r\nFlash: No");
}

TEST_F(ReportTest, AddsEachExposureLineThatHasAValue)
{
    AddTag("ExposureTime", "1/60 sec");
    AddTag("ShutterSpeedValue", "0.0156 sec (1/64)");
    AddTag("FocalLength", " 5.41 mm");
    AddTag("FocalLengthin35mmFilm", "35.00");
    AddTag("FNumber", "F2.8");
    AddTag("ISOSpeedRatings", "100");
    EXPECT_EQ(Reader().SummaryText(), kFixedLines +
                                        "\r\nExposure Time: 1/60 sec"
                                        "\r\nFocal Length:  5.41 mm"
                                        "\r\nFocal Length (35mm): 35.00"
                                        "\r\nFNumber: F2.8"
                                        "\r\nISO: 100"
                                        "\r\nFlash: No");
}

TEST_F(ReportTest, FallsBackToTheShutterSpeedAndSkipsEmptyValues)
{
    AddTag("ExposureTime", "");
    AddTag("ShutterSpeedValue", "0.0156 sec (1/64)");
    AddTag("FNumber", "");
    AddTag("ISOSpeedRatings", "200");
    EXPECT_EQ(Reader().SummaryText(), kFixedLines +
                                        "\r\nExposure Time: 0.0156 sec (1/64)"
                                        "\r\nISO: 200"
                                        "\r\nFlash: No");
}

TEST_F(ReportTest, FlashBitAndFileSizeRounding)
{
    struct Case {
        int flash;
        const char* line;
    } flashes[] = {{0, "Flash: No"}, {1, "Flash: Yes"}, {16, "Flash: No"}, {25, "Flash: Yes"}, {-1, "Flash: Yes"}};
    for (const auto& c : flashes) {
        Info().FlashValue = c.flash;
        const std::string text = Reader().SummaryText();
        EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), c.line) << c.flash;
    }
    struct Size {
        int bytes;
        const char* line;
    } sizes[] = {{1023, "File Size: 0k"}, {1024, "File Size: 1k"}, {0, "File Size: 0k"}, {1500000, "File Size: 1464k"}};
    for (const auto& c : sizes) {
        Reader().FileSize = c.bytes;
        EXPECT_NE(Reader().SummaryText().find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << c.bytes;
    }
}

TEST_F(ReportTest, MissingFactsPrintEmptyOrZero)
{
    PhotoMetadata& r = Reader();
    r.ExifInfo = std::make_unique<ExifDirectory>(ParseModeListing);
    r.FileName = "bare.jpg";
    EXPECT_EQ(r.SummaryText(),
              "File Name: bare.jpg\r\nFile Size: 1464k\r\nFile Date: 06.05.2004\r\nPhoto Date: \r\n"
              "Make (Model):  ()\r\nDimensions: 0 x 0\r\nFlash: No");
}

TEST_F(ReportTest, ReportsTheErrorOrNothing)
{
    Reader().Outcome = ReadingOutcome{ReadingEnd::NotOpened, "Illegal Exif construction"};
    AddTag("ISOSpeedRatings", "100");
    EXPECT_EQ(Reader().SummaryText(), "File Name: IMG_0001.JPG\r\nExif Error: Illegal Exif construction");
    Reader().ExifSection = nullptr;
    EXPECT_EQ(Reader().SummaryText(), "");
}

TEST_F(ReportTest, UsesTheRegionalDateAndWindows1251Names)
{
    FormatSettings().ShortDateFormat = "yyyy/m/d";
    FormatSettings().DateSeparator = "-";
    Reader().FileName = "/photos/\xD0\x9C\xD0\xBE\xD1\x80\xD0\xB5.jpg";  // Море.jpg in UTF-8
    const std::string text = Reader().SummaryText();
    EXPECT_EQ(text.substr(0, text.find("\r\nFile Size")), "File Name: \xCC\xEE\xF0\xE5.jpg");
    EXPECT_NE(text.find("\r\nFile Date: 2004-5-6\r\n"), std::string::npos);
}

TEST_F(ReportTest, ReportOfAFileReadFromDisk)
{
    TiffBytes t(false);
    const std::string app1 = t.App1Data(
        {t.Ascii(0x010F, "Canon"), t.Ascii(0x0110, "Canon PowerShot A70"), t.Ascii(0x0132, "2004:05:06 07:08:09")},
        {t.Rational(0x829A, 1, 60), t.Rational(0x829D, 28, 10), t.Short(0x8827, 100),
         t.Ascii(0x9003, "2004:05:06 07:08:09"), t.Short(0x9209, 16), t.Rational(0x920A, 541, 100),
         t.Long(0xA002, 2048), t.Long(0xA003, 1536)});
    const std::string file = std::string("\xFF\xD8", 2) + test::Section(0xE1, app1) + test::AfterApp0(test::EncodeJpeg(8, 8));
    test::TempDir dir;
    const auto path = dir / "IMG_0001.JPG";
    test::WriteFile(path, file);
    ASSERT_TRUE(SetFileModifiedTime(path.string(), *TryEncodeDateTime(2004, 5, 6, 12, 0, 0)));

    PhotoMetadata reader;
    ASSERT_TRUE(reader.ReadMetadata(path.string()));
    EXPECT_EQ(reader.SummaryText(), "File Name: IMG_0001.JPG\r\n"
                                              "File Size: " + std::to_string(file.size() / 1024) + "k\r\n"
                                              "File Date: 06.05.2004\r\n"
                                              "Photo Date: 2004:05:06 07:08:09\r\n"
                                              "Make (Model): Canon (Canon PowerShot A70)\r\n"
                                              "Dimensions: 2048 x 1536\r\n"
                                              "Exposure Time: 1/60 sec\r\n"
                                              "Focal Length:  5.41 mm\r\n"
                                              "FNumber: F2.8\r\n"
                                              "ISO: 100\r\n"
                                              "Flash: No");
}

TEST_F(ReportTest, DerivedEquivalentFocalLengthHasItsLine)
{
    // 2000 pixels at 400 per inch: a 127 x 95.25 mm sensor plane, diagonal 158.75 mm.
    TiffBytes t(true);
    const std::string app1 = t.App1Data({t.Ascii(0x010F, "Maker")},
                                        {t.Rational(0x920A, 100, 1), t.Long(0xA002, 2000), t.Long(0xA003, 1500),
                                         t.Rational(0xA20E, 400, 1), t.Rational(0xA20F, 400, 1), t.Short(0xA210, 2)});
    test::TempDir dir;
    const auto path = dir / "f.jpg";
    test::WriteFile(path, std::string("\xFF\xD8", 2) + test::Section(0xE1, app1) + test::AfterApp0(test::EncodeJpeg(8, 8)));
    PhotoMetadata reader;
    ASSERT_TRUE(reader.ReadMetadata(path.string()));
    const std::string text = reader.SummaryText();
    EXPECT_NE(text.find("\r\nFocal Length: 100.00 mm\r\nFocal Length (35mm): 27.25\r\n"), std::string::npos) << text;
}

TEST_F(ReportTest, EveryCameraSampleGetsAReport)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    int reported = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::CameraSamplesDir())) {
        if (entry.path().extension() != ".jpg")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        PhotoMetadata reader;
        reader.ReadMetadata(entry.path().string());
        if (!reader.ExifInfo)
            continue;
        const std::string text = reader.SummaryText();
        ASSERT_EQ(text.rfind("File Name: " + entry.path().filename().string() + "\r\n", 0), 0u) << text;
        EXPECT_NE(text.back(), '\n');
        if (reader.Outcome.Text == "<none>") {
            EXPECT_NE(text.find("\r\nDimensions: "), std::string::npos);
            EXPECT_TRUE(text.ends_with("\r\nFlash: No") || text.ends_with("\r\nFlash: Yes")) << text;
        }
        ++reported;
    }
    EXPECT_GT(reported, 10);
}

TEST_F(ReportTest, CameraSampleFactsShowInTheReport)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    PhotoMetadata reader;
    ASSERT_TRUE(reader.ReadMetadata((test::CameraSamplesDir() / "Canon_PowerShot_S40.jpg").string()));
    const std::string text = reader.SummaryText();
    EXPECT_NE(text.find("\r\nPhoto Date: 2003:12:14 12:01:44\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nMake (Model): Canon (Canon PowerShot S40)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nDimensions: 2272 x "), std::string::npos) << text;
}

}  // namespace
}  // namespace morvik
