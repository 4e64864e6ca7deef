// Leftover temporary files: only ours, and only those of processes that have ended, go.
#include "platform/TemporaryFiles.h"

#include "platform/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace morvik {
namespace {

namespace fs = std::filesystem;

// A process id that no process has: one that has ended.
std::string EndedProcessId()
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    return std::to_string(ended);
}

TEST(TemporaryFilesTest, RemovesOnlyLeftoversOfEndedProcesses)
{
    const std::string dead = EndedProcessId(), alive = std::to_string(::getppid());

    test::TempDir dir;
    const std::vector<std::string> gone = {".morvik-" + dead + "-3.tmp", ".morvik-" + dead + "-w7-123.tmp"};
    const std::vector<std::string> kept = {".morvik-" + alive + "-3.tmp",
                                           ".morvik-" + std::to_string(::getpid()) + "-1.tmp",
                                           ".morvik--1.tmp", ".morvik-12x-1.tmp", ".morvik-" + dead + "-1.jpg",
                                           "morvik-" + dead + "-1.tmp", ".hidden", "07.08.15  12_30_45.jpg"};
    for (const auto& n : gone)
        test::WriteFile(dir / n, "half");
    for (const auto& n : kept)
        test::WriteFile(dir / n, "keep");

    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path().string()), 2);
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator(dir.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> want = kept;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);
    EXPECT_EQ(RemoveStaleTemporaryFiles((dir / "absent").string()), 0);
}

TEST(TemporaryFilesTest, AWriterInAnotherPidNamespaceKeepsItsFileWhileItHoldsTheLock)
{
    // Its process id means nothing here: the name carries one that has ended.
    test::TempDir dir;
    const fs::path foreign = dir / (".morvik-" + EndedProcessId() + "-1.tmp");
    {
        ReplacingFile writer((dir / "out.jpg").string());
        writer.Write("still being written");
        for (auto& e : fs::directory_iterator(dir.path()))
            fs::rename(e.path(), foreign);
        EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path().string()), 0);
        EXPECT_TRUE(fs::exists(foreign));
    }
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path().string()), 1);  // its writer has gone
    EXPECT_FALSE(fs::exists(foreign));
}

TEST(TemporaryFilesTest, NamesAreShortAndHidden)
{
    const std::string name = TemporaryFileName("/some/folder/", "12");
    EXPECT_EQ(name, "/some/folder/.morvik-" + std::to_string(::getpid()) + "-12.tmp");
}

}  // namespace
}  // namespace morvik
