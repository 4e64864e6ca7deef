// morvik-cli info: the report, the maker listing and the IPTC datasets in text and JSON.
#include "cli/CliRunner.h"
#include "metadata/JpegTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <clocale>
#include <cstdio>
#include <regex>
#include <string>

namespace morvik {
namespace {

std::string RunCli(const std::string& args) { return test::RunCli(args).Out; }

// A photo with EXIF (make, model, date, size, exposure) and an IPTC block with a
// Windows-1251 city name and two keyword datasets.
std::string PhotoWithIptc()
{
    test::TiffBytes t(false);
    const std::string app1 = t.App1Data(
        {t.Ascii(0x010F, "Canon"), t.Ascii(0x0110, "Canon PowerShot A70")},
        {t.Rational(0x829A, 1, 60), t.Ascii(0x9003, "2004:05:06 07:08:09"), t.Short(0x9209, 1), t.Long(0xA002, 2048),
         t.Long(0xA003, 1536)});
    auto dataset = [](int record, int number, const std::string& value) {
        return std::string{'\x1C', static_cast<char>(record), static_cast<char>(number), 0,
                           static_cast<char>(value.size())} + value;
    };
    const std::string app13 = test::SectionData(std::string("Photoshop 3.0\0", 14) + dataset(2, 0, "\x00\x02") +
                                                dataset(2, 90, "\xCC\xEE\xF1\xEA\xE2\xE0") +
                                                dataset(2, 25, "sea") + dataset(2, 25, "sky"));
    return std::string("\xFF\xD8", 2) + test::Section(0xE1, app1) + test::Section(0xED, app13) +
           test::AfterApp0(test::EncodeJpeg(8, 8));
}

// The listing and the report follow the user's regional settings, as the window does: a
// Russian locale gives a decimal comma and its own short date. (Runs only where such a
// locale is installed.)
TEST(InfoReport, FollowsTheUsersLocale)
{
    std::string russian;
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8"}) {
        if (locale_t probe = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) {
            freelocale(probe);
            russian = name;
            break;
        }
    }
    if (russian.empty())
        GTEST_SKIP() << "no Russian locale installed";
    test::TempDir dir;
    const auto path = dir / "focal.jpg";
    test::TiffBytes t(false);
    const std::string app1 = t.App1Data({t.Ascii(0x010F, "Canon")}, {t.Rational(0x920A, 135, 1)});
    test::WriteFile(path, std::string("\xFF\xD8", 2) + test::Section(0xE1, app1) +
                              test::AfterApp0(test::EncodeJpeg(8, 8)));
    const std::string out = test::RunCli("info " + path.string(), {}, test::Stderr::Dropped, russian).Out;
    EXPECT_NE(out.find("Focal Length = 135,00 mm"), std::string::npos) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("File Date: \\d\\d\\.\\d\\d\\.\\d{4}"))) << out;
}

TEST(InfoReport, JsonCarriesSummaryMakerListingAndIptc)
{
    test::TempDir dir;
    const auto path = dir / "IMG_0001.JPG";
    test::WriteFile(path, PhotoWithIptc());
    const auto all = nlohmann::json::parse(RunCli("info --json " + path.string()));
    ASSERT_EQ(all.size(), 1u);
    const auto& j = all[0];

    const std::string summary = j.at("summary");
    EXPECT_EQ(summary.rfind("File Name: IMG_0001.JPG\r\nFile Size: 0k\r\nFile Date: ", 0), 0u) << summary;
    EXPECT_TRUE(summary.ends_with("\r\nPhoto Date: 2004:05:06 07:08:09\r\n"
                                  "Make (Model): Canon (Canon PowerShot A70)\r\n"
                                  "Dimensions: 2048 x 1536\r\n"
                                  "Exposure Time: 1/60 sec\r\n"
                                  "Flash: Yes"))
        << summary;
    EXPECT_EQ(j.at("maker_decoded"), false);
    EXPECT_TRUE(j.at("maker_listing").is_array());

    const nlohmann::json expected = nlohmann::json::parse(R"([
        {"name": "City", "description": "City", "record": 2, "dataset": 90, "value": "Москва"},
        {"name": "Keywords", "description": "Keywords", "record": 2, "dataset": 25, "value": "sea,sky"}
    ])");
    EXPECT_EQ(j.at("iptc"), expected);
}

TEST(InfoReport, TextShowsTheReportAndTheDatasets)
{
    test::TempDir dir;
    const auto path = dir / "IMG_0001.JPG";
    test::WriteFile(path, PhotoWithIptc());
    const std::string text = RunCli("info " + path.string());
    EXPECT_NE(text.find("  report:\n    File Name: IMG_0001.JPG\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n    Flash: Yes\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  iptc:\n    City = Москва\n    Keywords = sea,sky\n"), std::string::npos) << text;
}

TEST(InfoReport, AFileWithoutExifHasAnEmptySummary)
{
    test::TempDir dir;
    const auto path = dir / "plain.jpg";
    test::WriteFile(path, test::EncodeJpeg(8, 8));
    const auto all = nlohmann::json::parse(RunCli("info --json " + path.string()));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].at("summary"), "");
    EXPECT_EQ(all[0].at("iptc"), nlohmann::json::array());
}

}  // namespace
}  // namespace morvik
