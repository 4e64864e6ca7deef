// morvik-cli stamp as a user runs it: exit codes, outputs, the dry run, and parallel jobs
// that write what one job writes.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using morvik::test::ReadFile;
using morvik::test::TempDir;

struct CliRun {
    int Status = -1;
    std::string Out;
};

// Runs morvik-cli with the arguments (already quoted for the shell); stderr joins stdout.
CliRun RunCli(const std::string& args)
{
    CliRun r;
    const std::string cmd = std::string("'") + MORVIK_CLI_PATH + "' " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.Out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A copy of the bundled demo photos in a fresh folder.
void CopySamples(const TempDir& dir)
{
    // The copies keep the originals' times: a photo without EXIF is named by its file time,
    // which must not depend on the moment of copying.
    for (auto& e : fs::directory_iterator(fs::path(MORVIK_SOURCE_DIR) / "samples")) {
        const fs::path copy = dir / e.path().filename().string();
        fs::copy_file(e.path(), copy);
        fs::last_write_time(copy, fs::last_write_time(e.path()));
    }
}

std::map<std::string, std::string> Outputs(const TempDir& dir)
{
    std::map<std::string, std::string> out;
    for (auto& e : fs::directory_iterator(dir / "Dated"))
        out[e.path().filename().string()] = ReadFile(e.path());
    return out;
}

TEST(StampCommandTest, StampsTheSamplesAndReportsEachFile)
{
    TempDir dir;
    CopySamples(dir);
    const CliRun r = RunCli("stamp " + Quoted(dir.path()));
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("Всего файлов:5"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("beach_again.jpg => "), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Заняло 00:00:"), std::string::npos) << r.Out;
    const auto out = Outputs(dir);
    EXPECT_EQ(out.size(), 5u);
    EXPECT_TRUE(out.count("07.08.15  12_30_45.jpg"));
    EXPECT_TRUE(out.count("07.08.15  12_30_45photo 2.jpg"));
    EXPECT_TRUE(out.count("19.03.02  18_04_10.jpg"));
}

TEST(StampCommandTest, ExitCodes)
{
    struct Case { std::string args; int status; std::string message; };
    TempDir dir;
    CopySamples(dir);
    TempDir broken;
    morvik::test::WriteFile(broken / "a.jpg", "not a picture");
    const Case cases[] = {
        {"stamp", 2, "folder is required"},
        {"stamp /no/such/folder", 2, "Directory does not exist"},
        {"stamp " + Quoted(dir.path()) + " --quality 101", 2, "--quality"},
        {"stamp " + Quoted(dir.path()) + " --correct 24:00:00", 2, "'24:00:00' is not a valid date and time"},
        {"stamp " + Quoted(dir.path()) + " --color red", 2, "not a colour"},
        {"stamp " + Quoted(broken.path()), 1, "JPEG error #"},
        {"stamp " + Quoted(dir.path()) + " --mask 'yy\"/\"mm'", 1, "Cannot create file"},
        {"stamp " + Quoted(dir.path()) + " --keep-names --no-exif --text Hello --transparent -q 50", 0, ""},
    };
    for (const Case& c : cases) {
        const CliRun r = RunCli(c.args);
        EXPECT_EQ(r.Status, c.status) << c.args << "\n" << r.Out;
        EXPECT_NE(r.Out.find(c.message), std::string::npos) << c.args << "\n" << r.Out;
    }
    EXPECT_TRUE(fs::exists(dir / "Dated" / "forest.JPG"));
}

TEST(StampCommandTest, DryRunListsAndWritesNothing)
{
    TempDir dir;
    CopySamples(dir);
    const CliRun r = RunCli("stamp --dry-run " + Quoted(dir.path()));
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("beach_again.jpg -> " + (dir / "Dated").string() + "/07.08.15  12_30_45photo 2.jpg"),
              std::string::npos)
        << r.Out;
    EXPECT_FALSE(fs::exists(dir / "Dated"));
}

TEST(StampCommandTest, OneJobAndFourJobsWriteTheSameFiles)
{
    std::map<std::string, std::string> outputs[2];
    int k = 0;
    for (const char* jobs : {"1", "4"}) {
        TempDir dir;
        CopySamples(dir);
        for (int run = 0; run < 2; ++run)
            ASSERT_EQ(RunCli(std::string("stamp --jobs ") + jobs + " --correct -01:00:00 --preset internet " +
                             Quoted(dir.path()))
                          .Status,
                      0);
        outputs[k++] = Outputs(dir);
    }
    EXPECT_EQ(outputs[0].size(), 9u);  // five, then "photo 1" to "photo 5" with "photo 2" replaced
    EXPECT_TRUE(outputs[0] == outputs[1]);
    EXPECT_TRUE(outputs[0].count("070815_11_30_45.jpg"));  // the internet preset's mask, corrected
}

}  // namespace
