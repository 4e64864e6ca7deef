// Hostile input through the picture decoder and the whole folder batch: each case ends
// with its defined result or a clear message, never a crash or a hang; sources keep their
// bytes and times, nothing is written outside Dated, and what Dated holds decodes whole.
#include "stamping/MadeRecord.h"
#include "metadata/file/PhotoMetadata.h"
#include "platform/Exceptions.h"
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"
#include "stamping/Jpeg.h"
#include "support/ExifBuilder.h"
#include "support/HostileJpeg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

namespace morvik {
namespace {

namespace fs = std::filesystem;
using test::DecodesCompletely;
using test::EncodeTestJpeg;
using test::ExifBuilder;
using test::JpegKind;
using test::ReadFile;
using test::Section;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;

// A photo with an EXIF block dated `when` ("yyyy:mm:dd hh:nn:ss") over a real picture.
std::string Photo(const std::string& when, JpegKind kind = JpegKind::Baseline,
                  const std::function<void(ExifBuilder&, int)>& shape = {})
{
    ExifBuilder b;
    const int exif = b.AddIfd();
    b.Ascii(0, 0x010F, "Canon").Pointer(0, 0x8769, exif);
    b.Ascii(exif, 0x9003, when).Short(exif, 0xA002, {48}).Short(exif, 0xA003, {32});
    if (shape)
        shape(b, exif);
    const std::string picture = EncodeTestJpeg(48, 32, kind);
    return "\xFF\xD8" + b.App1() + picture.substr(2);
}

// Offsets of the sections of a JPEG stream up to and including SOS.
std::vector<size_t> SectionStarts(const std::string& jpeg)
{
    std::vector<size_t> starts;
    size_t p = 2;
    while (p + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[p]) == 0xFF) {
        starts.push_back(p);
        if (static_cast<uint8_t>(jpeg[p + 1]) == 0xDA)
            break;
        p += 2 + static_cast<uint8_t>(jpeg[p + 2]) * 256 + static_cast<uint8_t>(jpeg[p + 3]);
    }
    return starts;
}

// A baseline header claiming width x height over a few bytes of scan data.
std::string HugeHeader(int width, int height)
{
    std::string jpeg = EncodeTestJpeg(8, 8);
    const size_t sof = jpeg.find("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}

TEST(BadInputDecoder, HostileStreamsDecodeOrFailWithTheirMessage)
{
    const std::string photo = EncodeTestJpeg(48, 32);
    const std::vector<size_t> starts = SectionStarts(photo);
    const size_t scan = starts.back() + 14;  // inside the scan data, past the SOS header

    struct Case {
        std::string Name;
        std::string Bytes;
        std::optional<std::pair<int, int>> Size;  // decoded size, or none for a failure
        std::string Message;                      // the failure's message starts with this
    };
    std::vector<Case> cases = {
        {"zero bytes", "", std::nullopt, "JPEG error #"},
        {"a text file", "Dear diary,\n", std::nullopt, "JPEG error #"},
        {"cut inside the scan", photo.substr(0, scan + 20), std::pair{48, 32}, ""},
        {"cut before EOI", photo.substr(0, photo.size() - 2), std::pair{48, 32}, ""},
        {"65000 x 65000 over a few bytes", HugeHeader(65000, 65000), std::nullopt,
         "Картинка 65000 на 65000 слишком велика"},
        {"CMYK", EncodeTestJpeg(16, 16, JpegKind::Cmyk), std::nullopt, "JPEG error #"},
        {"progressive", EncodeTestJpeg(40, 24, JpegKind::Progressive), std::pair{40, 24}, ""},
        {"APP1 running past the end", "\xFF\xD8\xFF\xE1\xFF\xF0" + std::string(100, 'E'), std::nullopt,
         "JPEG error #"},
    };
    for (size_t i = 0; i < starts.size(); ++i)
        cases.push_back({"cut at section " + std::to_string(i), photo.substr(0, starts[i]), std::nullopt,
                         "JPEG error #"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            const Picture p = DecodeJpeg(c.Bytes);
            ASSERT_TRUE(c.Size.has_value()) << "decoded";
            EXPECT_EQ(std::pair(p.Width(), p.Height()), *c.Size);
        } catch (const Exception& e) {
            EXPECT_FALSE(c.Size.has_value()) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind(c.Message, 0), 0u) << e.what();
        }
    }
}

struct QuietObserver : TBatchObserver {
    StampSettings Settings;
    StampControls Controls;
    StampRequest CurrentRequest() override { return RequestFromControls(Settings, Controls); }
};

// Runs the batch; the failure's message, or empty after a complete run.
std::string RunBatch(const fs::path& folder, TBatchResult* result = nullptr, const std::string& mask = {},
                     int jobs = 1)
{
    QuietObserver observer;
    observer.Controls.Quality = 75;
    if (!mask.empty())
        observer.Controls.NamingMask = mask;
    TBatchOptions options;
    options.Jobs = jobs;
    try {
        TBatchResult r = RunFolderBatch(folder.string(), options, observer);
        if (result)
            *result = r;
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// What a run left in Dated, and that every file there decodes whole and no temporary file
// remains.
std::vector<std::string> CheckedOutputs(const fs::path& folder)
{
    std::vector<std::string> names;
    if (!fs::is_directory(folder / "Dated"))
        return names;
    for (auto& e : fs::directory_iterator(folder / "Dated")) {
        const std::string name = e.path().filename().string();
        if (name == kMadeRecordName)
            continue;  // the record of what is made, not an output
        EXPECT_NE(name[0], '.') << "temporary file left: " << name;
        EXPECT_TRUE(DecodesCompletely(ReadFile(e.path()))) << name;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Each folder holds a good photo a.jpg and the hostile entry b.jpg, processed after it.
TEST(BadInputBatch, HostileEntriesEndTheRunWithTheirMessageOrArePassedOver)
{
    const std::string good = Photo("2007:08:15 12:30:45");
    const std::string aName = "07.08.15  12_30_45.jpg";
    struct Case {
        std::string Name;
        std::function<void(const fs::path& b)> Make;
        std::string Message;                // empty: the run completes
        std::vector<std::string> Outputs;   // what Dated holds afterwards
        int Counted = 2;                    // entries counted; a link to nothing is not listed
    };
    const std::string photo = Photo("2008:01:02 03:04:06");
    const std::string bName = "08.01.02  03_04_06.jpg";
    const std::vector<size_t> starts = SectionStarts(photo);
    std::vector<Case> cases = {
        {"zero bytes", [](const fs::path& b) { WriteFile(b, ""); }, "JPEG error #", {aName}},
        {"a text file", [](const fs::path& b) { WriteFile(b, "not a picture\n"); }, "JPEG error #", {aName}},
        {"cut inside the scan", [&](const fs::path& b) { WriteFile(b, photo.substr(0, starts.back() + 40)); }, "",
         {aName, bName}},
        {"cut in its header", [&](const fs::path& b) { WriteFile(b, photo.substr(0, starts[2])); }, "JPEG error #",
         {aName}},
        {"25 APPn sections",
         [&](const fs::path& b) {
             std::string many;
             for (int i = 0; i < 25; ++i)
                 many += Section(0xE2, "APP2 number " + std::to_string(i));
             const size_t afterApp1 = starts[1];
             WriteFile(b, photo.substr(0, afterApp1) + many + photo.substr(afterApp1));
         },
         "", {aName, bName}},
        {"APP1 running past the end",
         [](const fs::path& b) { WriteFile(b, "\xFF\xD8\xFF\xE1\xFF\xF0" + std::string(200, 'E')); }, "JPEG error #",
         {aName}},
        {"hostile EXIF directories",
         [](const fs::path& b) {
             WriteFile(b, Photo("2008:01:02 03:04:06", JpegKind::Baseline, [](ExifBuilder& x, int exif) {
                           x.Pointer(exif, 0xA005, 0).RawEntry(exif, 0x829A, 5, 0x7FFFFFFFu, 0x80000000u);
                           x.RawEntry(exif, 0x9004, 13, 1, 0).RawEntry(0, 0x8825, 4, 1, 0xFFFFFFF0u);
                       }));
         },
         "", {aName, bName}},
        {"65000 x 65000 over a few bytes", [](const fs::path& b) { WriteFile(b, HugeHeader(65000, 65000)); },
         "Картинка 65000 на 65000 слишком велика", {aName}},
        {"CMYK", [](const fs::path& b) { WriteFile(b, Photo("2008:01:02 03:04:06", JpegKind::Cmyk)); },
         "JPEG error #", {aName}},
        {"progressive",
         [](const fs::path& b) { WriteFile(b, Photo("2008:01:02 03:04:06", JpegKind::Progressive)); }, "",
         {aName, bName}},
        {"a subfolder", [](const fs::path& b) { fs::create_directory(b); }, "", {aName}},
        {"a dangling symlink", [](const fs::path& b) { fs::create_symlink("nowhere.jpg", b); }, "", {aName}, 1},
        {"a FIFO", [](const fs::path& b) { ASSERT_EQ(::mkfifo(b.c_str(), 0644), 0); }, "", {aName}},
    };
    for (int jobs : {1, 2}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.Name + ", jobs " + std::to_string(jobs));
            TempDir dir;
            WriteFile(dir / "a.jpg", good);
            c.Make(dir / "b.jpg");
            const auto before = Snapshot(dir.path());
            TBatchResult result;
            const std::string message = RunBatch(dir.path(), &result, {}, jobs);
            if (c.Message.empty()) {
                EXPECT_EQ(message, "");
                EXPECT_EQ(result.FileCount, c.Counted);
            } else {
                EXPECT_EQ(message.rfind(c.Message, 0), 0u) << message;
            }
            EXPECT_EQ(Snapshot(dir.path(), "Dated"), before) << "a source changed";
            EXPECT_EQ(CheckedOutputs(dir.path()), c.Outputs);
        }
    }
}

// A source larger than any picture file (a sparse giant) fails at once, unread; a link to an
// endless device is passed over unread, as any entry that is no regular file.
TEST(BadInputBatch, GiantAndEndlessSourcesAreNotRead)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
    fs::create_symlink("/dev/zero", dir / "b.jpg");
    WriteFile(dir / "c.jpg", "");
    fs::resize_file(dir / "c.jpg", uintmax_t(3) << 30);
    const std::string message = RunBatch(dir.path());
    EXPECT_EQ(message.rfind("Cannot open file \"" + (dir / "c.jpg").string() + "\". File too large", 0), 0u) << message;
    EXPECT_EQ(CheckedOutputs(dir.path()), std::vector<std::string>{"07.08.15  12_30_45.jpg"});
}

// Masks that would name a file outside Dated, or no file at all, end the run at the first
// file with "Cannot create file"; nothing is written anywhere.
TEST(BadInputBatch, NamingMasksYieldingASlashOrNothing)
{
    for (const char* mask : {"yy/mm/dd", "'..'/yy", "\"/\"", "\"\"", "''"}) {
        SCOPED_TRACE(mask);
        TempDir dir;
        WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
        const auto before = Snapshot(dir.path());
        const std::string message = RunBatch(dir.path(), nullptr, mask);
        EXPECT_EQ(message.rfind("Cannot create file \"" + (dir / "Dated").string() + "/", 0), 0u) << message;
        EXPECT_EQ(Snapshot(dir.path(), "Dated"), before);
        EXPECT_TRUE(CheckedOutputs(dir.path()).empty());
    }
}

// Two photos of the same second, run twice: the second of each run takes the run counter,
// and the second run's names chain on the first run's outputs without replacing any.
TEST(BadInputBatch, NameCollisionChainOverTwoRuns)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
    WriteFile(dir / "b.jpg", Photo("2007:08:15 12:30:45"));
    ASSERT_EQ(RunBatch(dir.path()), "");
    EXPECT_EQ(CheckedOutputs(dir.path()), (std::vector<std::string>{"07.08.15  12_30_45.jpg",
                                                                     "07.08.15  12_30_45photo 2.jpg"}));
    ASSERT_EQ(RunBatch(dir.path()), "");
    EXPECT_EQ(CheckedOutputs(dir.path()),
              (std::vector<std::string>{"07.08.15  12_30_45.jpg", "07.08.15  12_30_45photo 1.jpg",
                                        "07.08.15  12_30_45photo 2 (2).jpg", "07.08.15  12_30_45photo 2.jpg"}));
}

// A source whose name is as long as a file name may be keeps it in Dated: the temporary
// file beside the output has a short name of its own.
TEST(BadInputBatch, LongestFileNamesKeepTheirNames)
{
    TempDir dir;
    const std::string name = std::string(251, 'n') + ".jpg";
    WriteFile(dir / name, Photo("2007:08:15 12:30:45"));
    QuietObserver observer;
    TBatchOptions options;
    options.RenameByMask = false;
    for (bool exif : {true, false}) {
        observer.Controls.ExifCarryOver = exif;
        EXPECT_NO_THROW(RunFolderBatch(dir.path().string(), options, observer));
        EXPECT_EQ(CheckedOutputs(dir.path()), std::vector<std::string>{name});
    }
}

// Runs the batch in a child process that has given up root (uid and gid 65534), so that
// permissions hold; the child's failure message, or empty after a complete run.
std::string RunBatchAsNobody(const fs::path& folder)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string message;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            message = "SETUID FAILED";
        else
            message = RunBatch(folder);
        if (message.empty())
            message = "OK";
        [[maybe_unused]] auto n = ::write(pipeFds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string message;
    char buf[1024];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        message.append(buf, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return message == "OK" ? std::string() : message;
}

// An unreadable source ends the run with "Cannot open file"; an output folder that cannot
// be written ends it with "Cannot create file" and leaves the folder as it was.
TEST(BadInputBatch, UnreadableSourcesAndOutputFoldersThatCannotBeWritten)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to another user";
    {
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
        WriteFile(dir / "b.jpg", Photo("2007:08:15 12:30:47"));
        fs::permissions(dir / "a.jpg", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(dir / "b.jpg", fs::perms::none);
        fs::create_directory(dir / "Dated");
        fs::permissions(dir / "Dated", fs::perms::all);
        const auto before = Snapshot(dir.path(), "Dated");
        const std::string message = RunBatchAsNobody(dir.path());
        ASSERT_NE(message, "SETUID FAILED");
        EXPECT_EQ(message.rfind("Cannot open file \"" + (dir / "b.jpg").string() + "\". ", 0), 0u) << message;
        EXPECT_EQ(Snapshot(dir.path(), "Dated"), before);
        EXPECT_EQ(CheckedOutputs(dir.path()), std::vector<std::string>{"07.08.15  12_30_45.jpg"});
    }
    {
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
        fs::permissions(dir / "a.jpg", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::create_directory(dir / "Dated");
        WriteFile(dir / "Dated" / "old.jpg", Photo("2001:01:01 00:00:00"));
        fs::permissions(dir / "Dated", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
        const auto before = Snapshot(dir.path());
        const std::string message = RunBatchAsNobody(dir.path());
        EXPECT_EQ(message.rfind("Cannot create file \"" + (dir / "Dated").string() + "/07.08.15  12_30_45.jpg\". ", 0),
                  0u)
            << message;
        EXPECT_EQ(Snapshot(dir.path()), before);
    }
    {
        // A folder where Dated cannot be made: the message says so, with the system's reason.
        TempDir dir;
        WriteFile(dir / "a.jpg", Photo("2007:08:15 12:30:45"));
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
        fs::permissions(dir / "a.jpg", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const auto before = Snapshot(dir.path());
        const std::string message = RunBatchAsNobody(dir.path());
        EXPECT_EQ(message.rfind("Cannot create folder \"" + (dir / "Dated").string() + "\". Permission denied", 0), 0u)
            << message;
        EXPECT_EQ(Snapshot(dir.path()), before);
    }
}

}  // namespace
}  // namespace morvik
