// morvik-cli info run as a program: exit statuses, the text listing and the JSON output
// against golden files made from camera samples.
#include "cli/CliRunner.h"
#include "support/ExifBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace morvik {
namespace {

using test::CliRun;

CliRun RunCli(const std::filesystem::path& folder, const std::string& args) { return test::RunCli(args, folder); }

class InfoCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ExifBuilder b;
        b.Ascii(0, 0x010F, "\xCA\xE0\xEC\xE5\xF0\xE0");  // "Камера" in Windows-1251
        b.Ascii(0, 0x0132, "2005:07:14 12:30:45");
        b.Short(0, 0x0100, {640});
        test::WriteFile(dir / "good.jpg", test::MakeJpeg({b.App1()}));
        test::WriteFile(dir / "plain.jpg", test::MakeJpeg({test::Section(0xE0, "JFIF")}));
    }
    test::TempDir dir;
};

TEST_F(InfoCommand, ExitStatuses)
{
    EXPECT_EQ(RunCli(dir.path(), "info good.jpg").Status, 0);
    EXPECT_EQ(RunCli(dir.path(), "info good.jpg plain.jpg").Status, 1);
    EXPECT_EQ(RunCli(dir.path(), "info missing.jpg").Status, 1);
    EXPECT_EQ(RunCli(dir.path(), "info").Status, 2);
    EXPECT_EQ(RunCli(dir.path(), "info --bogus good.jpg").Status, 2);
}

TEST_F(InfoCommand, TextListsEveryFile)
{
    const CliRun run = RunCli(dir.path(), "info good.jpg plain.jpg");
    EXPECT_NE(run.Out.find("good.jpg\n  read: yes\n  error: <none>\n  Make = Камера\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("  Date Time = 2005:07:14 12:30:45\n"), std::string::npos);
    EXPECT_NE(run.Out.find("plain.jpg\n  read: no\n  error: Not an EXIF file\n"), std::string::npos);
    EXPECT_EQ(run.Out.find('\r'), std::string::npos);
}

TEST_F(InfoCommand, JsonObjectPerFile)
{
    const CliRun run = RunCli(dir.path(), "info --json good.jpg plain.jpg missing.jpg");
    EXPECT_EQ(run.Status, 1);
    const auto j = nlohmann::json::parse(run.Out);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["file"], "good.jpg");
    EXPECT_EQ(j[0]["read"], true);
    EXPECT_EQ(j[0]["has_exif"], true);
    EXPECT_EQ(j[0]["make"], "Камера");
    EXPECT_EQ(j[0]["width"], 640);
    EXPECT_EQ(j[0]["dates"]["DateTime"], "2005-07-14 12:30:45");
    EXPECT_TRUE(j[0]["dates"]["DateTimeOriginal"].is_null());
    EXPECT_EQ(j[0]["tags"][0]["name"], "Make");
    EXPECT_EQ(j[0]["tags"][0]["tag"], 0x010F);
    EXPECT_EQ(j[0]["tags"][0]["type"], 2);
    EXPECT_EQ(j[0]["listing"][0], "Make = Камера");
    EXPECT_EQ(j[1]["read"], false);
    EXPECT_EQ(j[1]["error"], "Not an EXIF file");
    EXPECT_EQ(j[2]["error"], "");
}

// The report's file date is the checkout's file time: masked before comparing.
nlohmann::json WithoutFileDate(nlohmann::json j)
{
    for (auto& file : j) {
        if (!file.contains("summary"))
            continue;
        std::string summary = file["summary"];
        const auto at = summary.find("File Date: ");
        if (at != std::string::npos) {
            const auto end = summary.find("\r\n", at);
            summary.replace(at, end == std::string::npos ? std::string::npos : end - at, "File Date: *");
        }
        file["summary"] = summary;
    }
    return j;
}

// Golden files: the JSON of a sample beside the expected output committed under
// tests/data/info (made once and checked against the samples' README by eye).
TEST(InfoGolden, CameraSamples)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    for (const char* name : {"Canon_40D.jpg", "Nikon_D70.jpg"}) {
        const CliRun run = RunCli(test::CameraSamplesDir(), std::string("info --json ") + name);
        EXPECT_EQ(run.Status, 0);
        const std::string stem = std::filesystem::path(name).stem().string();
        const auto expected = nlohmann::json::parse(test::ReadFile(test::TestDataDir() / "info" / (stem + ".json")));
        EXPECT_EQ(WithoutFileDate(nlohmann::json::parse(run.Out)), WithoutFileDate(expected)) << name;
    }
}

}  // namespace
}  // namespace morvik
