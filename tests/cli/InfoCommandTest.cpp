// morvik-cli info run as a program: exit statuses, the text listing and the JSON output
// against golden files made from camera samples.
#include "cli/CliRunner.h"
#include "support/ExifBuilder.h"
#include "support/TestHeif.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <sys/stat.h>
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
        b.Ascii(0, 0x9004, "0000:00:00 00:00:00");  // present but no date: the value 0
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

// Entries that are no file say why; a FIFO is refused at once (a reader would wait for a
// writer for ever), and the files before it are listed.
TEST_F(InfoCommand, OddEntriesSayWhyTheyWereNotRead)
{
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder.jpg");
    std::filesystem::create_symlink("loop.jpg", dir / "loop.jpg");
    std::filesystem::create_symlink("nowhere", dir / "dangling.jpg");
    test::WriteFile(dir / "new\nline\x1b[2J.jpg", test::ReadFile(dir / "good.jpg"));
    const CliRun run = test::RunCli("info -j 2 good.jpg fifo.jpg folder.jpg loop.jpg dangling.jpg new*", dir.path(),
                                    test::Stderr::Joined, "C", "ulimit -t 10");
    EXPECT_EQ(run.Status, 1);
    for (const char* expected :
         {"good.jpg\n  read: yes\n", "fifo.jpg\n  read: no\n  error: Cannot open file \"fifo.jpg\". Not a regular file",
          "folder.jpg\n  read: no\n  error: Is a directory", "loop.jpg\n  read: no\n  error: Too many levels of symbolic links",
          "dangling.jpg\n  read: no\n  error: A link to nothing: No such file or directory", "new\\x0Aline\\x1B[2J.jpg\n",
          "    File Name: new\\x0Aline\\x1B[2J.jpg\n"})
        EXPECT_NE(run.Out.find(expected), std::string::npos) << expected << "\n" << run.Out;
    EXPECT_EQ(run.Out.find('\x1b'), std::string::npos) << run.Out;  // nothing reaches the terminal raw
}

// A file the reader runs out of memory on is that file's failure: info says so and goes on
// with the next file. The address space is limited below what the walk of the hostile file
// may keep (within its budget); sanitizer builds need far more of it and are left out.
TEST_F(InfoCommand, RunningOutOfMemoryFailsThatFileOnly)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit";
#endif
    const std::string hostile =
        (test::TestDataDir() / "regressions" / "fuzz_jpeg_sections" / "forty-maker-notes-copying-the-block.jpg").string();
    const CliRun run =
        test::RunCli("info -j 1 '" + hostile + "' good.jpg", dir.path(), test::Stderr::Joined, "C", "ulimit -v 40000");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Out.find("  read: no\n  error: Out of memory\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("good.jpg\n  read: yes\n"), std::string::npos) << run.Out;
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
    EXPECT_EQ(j[0]["dates"]["DateTimeDigitized"], "1899-12-30 00:00:00");
    EXPECT_EQ(j[0]["tags"][0]["name"], "Make");
    EXPECT_EQ(j[0]["tags"][0]["tag"], 0x010F);
    EXPECT_EQ(j[0]["tags"][0]["type"], 2);
    EXPECT_EQ(j[0]["listing"][0], "Make = Камера");
    EXPECT_EQ(j[1]["read"], false);
    EXPECT_EQ(j[1]["error"], "Not an EXIF file");
    EXPECT_EQ(j[2]["error"], "No such file or directory");
}

TEST_F(InfoCommand, HeifFilesReportTheirExifItem)
{
    test::ExifBuilder b(true);
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Apple");
    b.Short(0, 0x0112, {6});
    b.Pointer(0, 0x8769, exif);
    b.Ascii(exif, 0x9003, "2021:06:01 18:04:33");
    test::HeifFixture fixture;
    fixture.ExifItem = test::ExifItemOf(b.Tiff());
    test::WriteFile(dir / "IMG_1.HEIC", test::MakeHeif(fixture));
    test::WriteFile(dir / "bad.heif", "no picture");
    const CliRun run = RunCli(dir.path(), "info --json IMG_1.HEIC good.jpg bad.heif");
    EXPECT_EQ(run.Status, 1);
    const auto j = nlohmann::json::parse(run.Out);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["format"], "heif");
    EXPECT_EQ(j[0]["read"], true);
    EXPECT_EQ(j[0]["make"], "Apple");
    EXPECT_EQ(j[0]["dates"]["DateTimeOriginal"], "2021-06-01 18:04:33");
    // The report shows the Orientation the camera wrote.
    EXPECT_NE(run.Out.find("Orientation = CounterClockwise"), std::string::npos);
    EXPECT_EQ(j[1]["format"], "jpeg");
    EXPECT_EQ(j[2]["format"], "heif");
    EXPECT_EQ(j[2]["read"], false);
    EXPECT_EQ(j[2]["error"].get<std::string>().rfind("Cannot read HEIF file \"bad.heif\": ", 0), 0u) << j[2]["error"];

    // libheif, and the codec libraries it brings, are loaded at a HEIF file only: the runs
    // over JPEGs start without them.
    std::filesystem::create_directory(dir / "jpegs");
    std::filesystem::copy_file(dir / "good.jpg", dir / "jpegs" / "good.jpg");
    const auto loadsLibheif = [&](const std::string& args) {
        const CliRun traced = test::RunCli(args, dir.path(), test::Stderr::Joined, "C", "export LD_DEBUG=files");
        return traced.Out.find("file=libheif") != std::string::npos;
    };
    EXPECT_FALSE(loadsLibheif("info good.jpg"));
    EXPECT_FALSE(loadsLibheif("stamp --lossless jpegs"));
    EXPECT_FALSE(loadsLibheif("stamp jpegs"));
    EXPECT_TRUE(loadsLibheif("info IMG_1.HEIC"));
}

// Reading on several threads changes neither the output nor the exit status: the camera
// samples (when at hand), cut and damaged copies of them and of a built file, a missing
// file and a folder, in text and in JSON, against one job. More files than one worker's
// run, so that runs finish out of order.
TEST_F(InfoCommand, JobsGiveTheOutputOfOneJob)
{
    std::vector<std::string> sources = {test::ReadFile(dir / "good.jpg")};
    std::vector<std::string> extensions = {".jpg"};
    if (const auto samples = test::CameraSamplesDir(); !samples.empty()) {
        for (const auto& f : std::filesystem::directory_iterator(samples)) {
            const std::string ext = f.path().extension().string();
            if (ext == ".jpg" || ext == ".tiff") {
                sources.push_back(test::ReadFile(f.path()));
                extensions.push_back(ext);
            }
        }
    }
    std::string list = "good.jpg plain.jpg missing.jpg folder.jpg";
    std::filesystem::create_directory(dir / "folder.jpg");
    for (size_t k = 0; k < sources.size(); ++k) {
        const std::string& bytes = sources[k];
        std::string damaged = bytes;
        for (size_t at = 7; at < damaged.size() && at < 4000; at += 397)
            damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        const std::vector<std::string> copies = {bytes, bytes.substr(0, bytes.size() / 3),
                                                 bytes.substr(0, bytes.size() * 2 / 3), bytes.substr(0, 20), damaged};
        for (size_t c = 0; c < copies.size(); ++c) {
            const std::string name = "f" + std::to_string(k) + "_" + std::to_string(c) + extensions[k];
            test::WriteFile(dir / name, copies[c]);
            list += " " + name;
        }
    }
    for (int i = 0; i < 20; ++i)
        list += " good.jpg";

    for (const std::string json : {"", "--json "}) {
        const CliRun one = RunCli(dir.path(), "info -j 1 " + json + list);
        EXPECT_EQ(one.Status, 1);
        ASSERT_FALSE(one.Out.empty());
        for (int jobs : {2, 3, 8}) {
            const CliRun many = RunCli(dir.path(), "info -j " + std::to_string(jobs) + " " + json + list);
            EXPECT_EQ(many.Status, one.Status) << jobs << " jobs " << json;
            EXPECT_TRUE(many.Out == one.Out) << jobs << " jobs " << json;
        }
    }
    EXPECT_EQ(RunCli(dir.path(), "info -j 0 good.jpg").Status, 2);
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
