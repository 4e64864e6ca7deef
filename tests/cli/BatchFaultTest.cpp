// Faults around a running morvik-cli stamp: killed at random moments, or meeting a full
// disk. Sources keep their bytes and times; Dated never holds a partial picture.
#include "stamping/MadeRecord.h"
#include "support/ExifBuilder.h"
#include "support/HostileJpeg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace {

namespace fs = std::filesystem;
using morvik::test::DecodesCompletely;
using morvik::test::EncodeTestJpeg;
using morvik::test::ExifBuilder;
using morvik::test::ReadFile;
using morvik::test::Snapshot;
using morvik::test::TempDir;
using morvik::test::WriteFile;

// count photos of width x height, one second apart, with EXIF dates.
void MakePhotos(const fs::path& folder, int count, int width = 320, int height = 240)
{
    for (int i = 0; i < count; ++i) {
        ExifBuilder b;
        const int exif = b.AddIfd();
        char when[32];
        std::snprintf(when, sizeof when, "2009:05:%02d 10:%02d:%02d", 1 + i / 60, i % 60, (i * 7) % 60);
        b.Ascii(0, 0x010F, "Canon").Pointer(0, 0x8769, exif).Ascii(exif, 0x9003, when);
        b.Short(exif, 0xA002, {uint16_t(width)}).Short(exif, 0xA003, {uint16_t(height)});
        const std::string picture = EncodeTestJpeg(width + i, height, morvik::test::JpegKind::Baseline, 95);
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
        WriteFile(folder / name, "\xFF\xD8" + b.App1() + picture.substr(2));
    }
}

// Starts morvik-cli stamp over folder in a child; `limitBytes` > 0 caps the size of any
// file it writes (RLIMIT_FSIZE; the program ignores SIGXFSZ itself, so writes fail with EFBIG).
pid_t StartStamp(const fs::path& folder, const std::string& jobs, rlim_t limitBytes = 0, const fs::path& log = {})
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (limitBytes > 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit r{limitBytes, limitBytes};
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
        const int out = log.empty() ? ::open("/dev/null", O_WRONLY) : ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execl(MORVIK_CLI_PATH, MORVIK_CLI_PATH, "stamp", folder.c_str(), "-j", jobs.c_str(), "-q", "90",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

struct DatedContents {
    std::vector<std::string> Pictures;
    std::vector<std::string> Temporary;  // names beginning with "."
};

DatedContents Look(const fs::path& folder)
{
    DatedContents c;
    if (!fs::is_directory(folder / "Dated"))
        return c;
    for (auto& e : fs::directory_iterator(folder / "Dated")) {
        const std::string name = e.path().filename().string();
        if (name == morvik::kMadeRecordName)
            continue;  // the record of what is made, not an output
        if (name[0] == '.') {
            c.Temporary.push_back(name);
            continue;
        }
        EXPECT_TRUE(DecodesCompletely(ReadFile(e.path()))) << "partial output " << name;
        c.Pictures.push_back(name);
    }
    return c;
}

// The batch is killed with SIGKILL at random moments of its run: every file in Dated is a
// whole picture, and the temporary files of the interrupted writes do not outlive the
// next run.
TEST(BatchFaultTest, KilledAtRandomMomentsLeavesOnlyWholePictures)
{
    TempDir dir;
    MakePhotos(dir.path(), 12);
    const auto sources = Snapshot(dir.path(), "Dated");

    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(StartStamp(dir.path(), "1")), 0);
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    ASSERT_EQ(Look(dir.path()).Pictures.size(), 12u);

    std::mt19937 random(20240607);
    int leftovers = 0;
    for (int trial = 0; trial < 16; ++trial) {
        SCOPED_TRACE(trial);
        const std::string jobs = trial % 2 ? "2" : "1";
        const pid_t pid = StartStamp(dir.path(), jobs);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(full.count() + 1)));
        ::kill(pid, SIGKILL);
        Wait(pid);
        const DatedContents c = Look(dir.path());
        leftovers += static_cast<int>(c.Temporary.size());
        EXPECT_EQ(Snapshot(dir.path(), "Dated"), sources) << "a source changed";
    }
    // A complete run afterwards clears what the killed runs left half-written.
    ASSERT_EQ(Wait(StartStamp(dir.path(), "1")), 0);
    EXPECT_TRUE(Look(dir.path()).Temporary.empty());
    EXPECT_EQ(Snapshot(dir.path(), "Dated"), sources);
    RecordProperty("temporaries_left_by_kills", leftovers);
}

void CheckFullDiskRun(const fs::path& folder, int status, const fs::path& log,
                      const std::map<std::string, morvik::test::FileState>& sources)
{
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string message = ReadFile(log);
    EXPECT_NE(message.find("Cannot create file \"" + (folder / "Dated").string() + "/"), std::string::npos)
        << message;
    const DatedContents c = Look(folder);
    EXPECT_TRUE(c.Temporary.empty()) << c.Temporary.front();
    EXPECT_EQ(Snapshot(folder, "Dated"), sources);
}

// Ctrl-C stops the run after the file in hand: the outputs made stay whole, and the run
// says it was stopped and exits as a shell reports SIGINT, not as a finished one.
TEST(BatchFaultTest, CtrlCStopsTheRunWithStatus130)
{
    TempDir dir;
    MakePhotos(dir.path(), 24, 1200, 900);
    TempDir logDir;
    const pid_t pid = StartStamp(dir.path(), "1", 0, logDir / "log");
    for (int i = 0; i < 3000 && Look(dir.path()).Pictures.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(pid, SIGINT);
    const int status = Wait(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string log = ReadFile(logDir / "log");
    EXPECT_NE(log.find("Stopped by Ctrl-C after "), std::string::npos) << log;
    EXPECT_EQ(log.find("Закончил"), std::string::npos) << log;
    EXPECT_LT(Look(dir.path()).Pictures.size(), 24u);
}

// A file-size limit stands for a disk that fills at the first output.
TEST(BatchFaultTest, FileSizeLimitEndsTheRunWithAClearMessage)
{
    TempDir dir;
    MakePhotos(dir.path(), 3);
    const auto sources = Snapshot(dir.path());
    TempDir logDir;
    const int status = Wait(StartStamp(dir.path(), "1", 4096, logDir / "log"));
    CheckFullDiskRun(dir.path(), status, logDir / "log", sources);
    EXPECT_NE(ReadFile(logDir / "log").find("File too large"), std::string::npos);
    EXPECT_TRUE(Look(dir.path()).Pictures.empty());
}

// A small tmpfs that fills after a few outputs.
TEST(BatchFaultTest, FullDiskEndsTheRunWithAClearMessage)
{
    TempDir mountPoint;
    if (::mount("tmpfs", mountPoint.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string Path;
        ~Unmount() { ::umount2(Path.c_str(), MNT_DETACH); }
    } unmount{mountPoint.path().string()};

    const fs::path folder = mountPoint.path();
    MakePhotos(folder, 8);
    // Fill the disk up to what about three outputs need.
    const auto space = fs::space(folder);
    const uintmax_t outputSize = fs::file_size(folder / "IMG_0000.JPG");
    if (space.available > 3 * outputSize + 8192)
        WriteFile(folder / "filler.bin", std::string(space.available - 3 * outputSize - 8192, 'x'));
    const auto sources = Snapshot(folder);
    TempDir logDir;
    const int status = Wait(StartStamp(folder, "2", 0, logDir / "log"));
    CheckFullDiskRun(folder, status, logDir / "log", sources);
}

}  // namespace
