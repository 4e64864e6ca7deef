// The file loop of the folder batch over temporary folders, with the picture work and the
// date reading replaced by small fakes: names, collisions, file times, failures, stop,
// skipped entries, parallel runs.
#include "stamping/FolderBatch.h"
#include "stamping/StampSettings.h"

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "stamping/Jpeg.h"
#include "stamping/MadeRecord.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

namespace morvik {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TDateTime At(int y, int mo, int d, int h, int mi, int s) { return *TryEncodeDateTime(y, mo, d, h, mi, s); }

// The date mask and the time correction are the real ones. Source files of the fakes: "DATE:yyyy:mm:dd hh:nn:ss" gives the photo's date, anything
// else has no EXIF and takes the fallback; a file beginning "BAD" does not decode.
class FakeSteps : public TBatchSteps {
public:
    std::string Tag;  // put before every stamped picture, to tell runs apart

    TDatedSource DatePhoto(const std::string& path, std::string_view bytes, TDateTime fallback,
                           PhotoDateSource dateSource) override
    {
        TDatedSource d;
        d.Date = fallback;
        if (bytes.substr(0, 5) == "DATE:") {
            auto s = std::string(bytes.substr(5, 19));
            d.Date = At(std::stoi(s.substr(0, 4)), std::stoi(s.substr(5, 2)), std::stoi(s.substr(8, 2)),
                        std::stoi(s.substr(11, 2)), std::stoi(s.substr(14, 2)), std::stoi(s.substr(17, 2)));
        }
        return d;
    }

    TEncodedPicture StampAndEncode(const std::string& path, std::string_view bytes, const std::string& text, int,
                                   const StampRequest& request, std::string) override
    {
        if (bytes.substr(0, 3) == "BAD")
            throw Exception("JPEG error #53");
        // Uneven work, so that parallel workers finish out of order.
        std::this_thread::sleep_for(std::chrono::milliseconds(bytes.size() % 7));
        TEncodedPicture picture;
        picture.Jpeg = Tag + "JPEG[" + text + "|q" + std::to_string(request.Output.Quality) + "|" + std::string(bytes) + "]";
        return picture;
    }

    void CheckPicture(const std::string&, std::string_view bytes) override
    {
        if (bytes.substr(0, 3) == "BAD")
            throw Exception("JPEG error #53");
    }

    std::string WithExif(PhotoMetadata*, const TEncodedPicture& p) override { return "EXIF+" + p.Jpeg; }
};

class RecordingObserver : public TBatchObserver {
public:
    StampSettings Settings;
    StampControls Controls;
    int StopAfter = -1;  // files written before the stop button is pressed
    int Events = 0;
    int Total = -1;
    std::vector<std::string> Lines, Dated, Written;
    std::vector<int> Counts;
    std::vector<TDateTime> Corrected;
    std::vector<std::pair<std::string, std::string>> Failed;

    StampRequest CurrentRequest() override { return RequestFromControls(Settings, Controls); }
    void BatchStarted(int n) override { Total = n; }
    void ProcessPendingEvents() override { ++Events; }
    void FileDated(const std::string& t) override { Dated.push_back(t); }
    void FileStarted(const std::string& n) override { Lines.push_back(n); }
    void FileCounted(int c, int) override { Counts.push_back(c); }
    void DateCorrected(TDateTime d) override { Corrected.push_back(d); }
    void FileWritten(const TBatchOutput& o) override { Written.push_back(fs::path(o.OutputPath).filename().string()); }
    void FileFailed(const std::string& n, const std::string& m) override { Failed.push_back({n, m}); }
    bool StopRequested() override { return StopAfter >= 0 && static_cast<int>(Written.size()) >= StopAfter; }
};

std::string Dated(const std::string& when) { return "DATE:" + when; }

void SetMTime(const fs::path& p, TDateTime local)
{
    ASSERT_TRUE(SetFileModifiedTime(p.string(), local));
}

std::vector<std::string> OutputNames(const TempDir& dir)
{
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir / "Dated"))
        if (e.path().filename() != kMadeRecordName)
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TBatchResult RunBatch(const TempDir& dir, RecordingObserver& obs, bool rename = true, int jobs = 1)
{
    FakeSteps steps;
    TBatchOptions options;
    options.RenameByMask = rename;
    options.Jobs = jobs;
    return RunFolderBatch(dir.path().string(), options, obs, steps);
}

TEST(FolderBatchTest, EmptyFolderMakesTheSubfolderAndWritesNothing)
{
    TempDir dir;
    RecordingObserver obs;
    auto r = RunBatch(dir, obs);
    EXPECT_EQ(obs.Total, 0);
    EXPECT_EQ(r.Processed, 0);
    EXPECT_TRUE(fs::is_directory(dir / "Dated"));
    EXPECT_TRUE(OutputNames(dir).empty());
}

TEST(FolderBatchTest, EnumeratesJpgWithoutRegardToCaseInNameOrder)
{
    TempDir dir;
    for (auto n : {"c.jpg", "A.JPG", "b.Jpg", "d.jpeg", "e.jpg.txt", "f.png"})
        WriteFile(dir / n, "x");
    EXPECT_EQ(ListJpegEntries(dir.path().string()), (std::vector<std::string>{"A.JPG", "b.Jpg", "c.jpg"}));
    EXPECT_EQ(CountPictures(dir.path().string() + "/"), 3);
}

TEST(FolderBatchTest, OnlyTheNamedEntriesAreCountedAndStamped)
{
    TempDir dir;
    for (auto n : {"a.jpg", "b.jpg", "c.jpg"})
        WriteFile(dir / n, "x");
    RecordingObserver obs;
    FakeSteps steps;
    TBatchOptions options;
    options.RenameByMask = false;
    options.OnlyNames = {"c.jpg", "a.jpg", "gone.jpg", "notes.txt"};
    auto r = RunFolderBatch(dir.path().string(), options, obs, steps);
    EXPECT_EQ(obs.Total, 2);
    EXPECT_EQ(r.Processed, 2);
    EXPECT_EQ(OutputNames(dir), (std::vector<std::string>{"a.jpg", "c.jpg"}));
}

TEST(FolderBatchTest, CollisionsTakeTheRunCounterAndNeverReplaceAnEarlierRun)
{
    TempDir dir;
    WriteFile(dir / "1.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / "2.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / "3.jpg", Dated("2007:08:15 12:31:00"));
    const std::vector<std::vector<std::string>> runs = {
        {"07.08.15  12_30_45.jpg", "07.08.15  12_30_45photo 2.jpg", "07.08.15  12_31_00.jpg"},
        // Every name of a second run collides; a suffixed name that collides as well
        // takes " (2)", " (3)", … until it is free.
        {"07.08.15  12_30_45photo 1.jpg", "07.08.15  12_30_45photo 2 (2).jpg", "07.08.15  12_31_00photo 3.jpg"},
        {"07.08.15  12_30_45photo 1 (2).jpg", "07.08.15  12_30_45photo 2 (3).jpg",
         "07.08.15  12_31_00photo 3 (2).jpg"},
    };
    for (const auto& names : runs) {
        RecordingObserver obs;
        RunBatch(dir, obs);
        EXPECT_EQ(obs.Written, names);
    }
    EXPECT_EQ(OutputNames(dir).size(), 9u);
    EXPECT_EQ(ReadFile(dir / "Dated" / "07.08.15  12_30_45photo 2.jpg"),
              "EXIF+JPEG[15.08.2007 12:30:45|q80|" + Dated("2007:08:15 12:30:45") + "]");
}

TEST(FolderBatchTest, ReportsEachFileInLoopOrder)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / ".hidden.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / "b.jpg", Dated("2006:05:10 14:03:27"));
    RecordingObserver obs;
    auto r = RunBatch(dir, obs);
    EXPECT_EQ(obs.Total, 3);  // the dot-file is counted but passed over
    EXPECT_EQ(r.Processed, 2);
    EXPECT_EQ(obs.Lines, (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(obs.Dated, (std::vector<std::string>{"15.08.2007 12:30:45", "10.05.2006 14:03:27"}));
    EXPECT_EQ(obs.Counts, (std::vector<int>{1, 2}));
    EXPECT_EQ(obs.Events, 1 + 2 * 2 + 1);  // before the loop, twice per file, once for the dot-file
}

TEST(FolderBatchTest, DotFilesAndFoldersNamedJpgArePassedOver)
{
    TempDir dir;
    WriteFile(dir / ".x.jpg", Dated("2007:08:15 12:30:45"));
    fs::create_directory(dir / "sub.jpg");
    WriteFile(dir / "sub.jpg" / "inner.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / "real.jpg", Dated("2007:08:15 12:30:45"));
    RecordingObserver obs;
    auto r = RunBatch(dir, obs);
    EXPECT_EQ(obs.Total, 3);
    EXPECT_EQ(r.Processed, 1);
    EXPECT_EQ(OutputNames(dir), (std::vector<std::string>{"07.08.15  12_30_45.jpg"}));
}

TEST(FolderBatchTest, KeepNamesReplacesAndIgnoresTheCorrection)
{
    TempDir dir;
    WriteFile(dir / "IMG_0001.JPG", Dated("2007:08:15 23:30:00"));
    fs::create_directory(dir / "Dated");
    WriteFile(dir / "Dated" / "IMG_0001.JPG", "old output");
    RecordingObserver obs;
    obs.Controls.CorrectionOn = true;
    obs.Controls.CorrectionText = "02:00:00";
    auto r = RunBatch(dir, obs, /*rename=*/false);
    EXPECT_EQ(OutputNames(dir), (std::vector<std::string>{"IMG_0001.JPG"}));
    EXPECT_NE(ReadFile(dir / "Dated" / "IMG_0001.JPG"), "old output");
    EXPECT_TRUE(obs.Corrected.empty());
    ASSERT_EQ(r.Outputs.size(), 1u);
    EXPECT_TRUE(r.Outputs[0].TimeSet);
    EXPECT_DOUBLE_EQ(GetFileFacts((dir / "Dated" / "IMG_0001.JPG").string())->Modified,
                     At(2007, 8, 15, 23, 30, 0));
}

TEST(FolderBatchTest, CorrectionMovesNameAndFileTimeButNotTheStampedText)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Dated("2007:08:15 23:30:00"));
    RecordingObserver obs;
    obs.Controls.CorrectionOn = true;
    obs.Controls.CorrectionText = "02:00:00";
    RunBatch(dir, obs);
    const fs::path out = dir / "Dated" / "07.08.16  01_30_00.jpg";
    ASSERT_TRUE(fs::exists(out));
    EXPECT_NE(ReadFile(out).find("15.08.2007 23:30:00"), std::string::npos);
    EXPECT_DOUBLE_EQ(GetFileFacts(out.string())->Modified, At(2007, 8, 16, 1, 30, 0));
    ASSERT_EQ(obs.Corrected.size(), 1u);
    EXPECT_DOUBLE_EQ(obs.Corrected[0], At(2007, 8, 16, 1, 30, 0));
}

TEST(FolderBatchTest, FileTimesAtTwoSecondResolution)
{
    TempDir dir;
    WriteFile(dir / "noexif.jpg", "plain picture");
    SetMTime(dir / "noexif.jpg", At(2006, 5, 10, 14, 3, 27));  // lands on 14:03:26
    WriteFile(dir / "odd.jpg", Dated("2010:01:02 03:04:05"));
    WriteFile(dir / "old.jpg", Dated("1975:06:01 10:00:00"));
    RecordingObserver obs;
    auto r = RunBatch(dir, obs);
    ASSERT_EQ(r.Outputs.size(), 3u);
    EXPECT_EQ(fs::path(r.Outputs[0].OutputPath).filename(), "06.05.10  14_03_26.jpg");
    EXPECT_DOUBLE_EQ(GetFileFacts(r.Outputs[0].OutputPath)->Modified, At(2006, 5, 10, 14, 3, 26));
    // The name keeps the odd second; the file system's stamp cannot.
    EXPECT_EQ(fs::path(r.Outputs[1].OutputPath).filename(), "10.01.02  03_04_05.jpg");
    EXPECT_DOUBLE_EQ(GetFileFacts(r.Outputs[1].OutputPath)->Modified, At(2010, 1, 2, 3, 4, 4));
    // Before 1980 nothing is set: the file keeps the time of its writing.
    EXPECT_FALSE(r.Outputs[2].TimeSet);
    EXPECT_GT(GetFileFacts(r.Outputs[2].OutputPath)->Modified, At(2020, 1, 1, 0, 0, 0));
}

// An output is dated while it still has its temporary name, so a kill at any moment never
// leaves one dated by the moment of writing. Watched from outside the writer: no name of an
// output is changed once it has appeared, whether it is a new name or one that replaces
// the earlier output.
TEST(FolderBatchTest, OutputsAreDatedBeforeTheyGetTheirNames)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Dated("2010:01:02 03:04:06"));
    WriteFile(dir / "b.jpg", Dated("2010:01:02 03:04:06"));
    fs::create_directory(dir / "Dated");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, (dir / "Dated").c_str(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_MODIFY), 0);
    for (bool rename : {true, false, false}) {
        RecordingObserver obs;
        const TBatchResult r = RunBatch(dir, obs, rename);
        ASSERT_EQ(r.Outputs.size(), 2u);
        EXPECT_TRUE(r.Outputs[0].TimeSet && r.Outputs[1].TimeSet);
    }
    std::set<std::string> named;
    alignas(inotify_event) char events[16384];
    long got;
    while ((got = ::read(watch, events, sizeof events)) > 0)
        for (long at = 0; at < got;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            const std::string name = e->len ? e->name : "";
            if ((e->mask & (IN_CREATE | IN_MOVED_TO)) && name[0] != '.')  // temporary files and the record aside
                named.insert(name);
            // Setting the modification time alone is told as a change of the content.
            if ((e->mask & (IN_ATTRIB | IN_MODIFY)) && named.count(name))
                ADD_FAILURE() << name << " was dated after it got its name";
            at += long(sizeof(inotify_event) + e->len);
        }
    ::close(watch);
    EXPECT_TRUE(named.count("a.jpg") && named.count("10.01.02  03_04_06photo 2.jpg")) << named.size();
}

// The message of a run's failure, or empty when the run completes.
std::string FailureOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

TEST(FolderBatchTest, AFailureEndsTheRunAtThatFileOrWithKeepGoingIsPassedOver)
{
    for (bool keepGoing : {false, true}) {
        for (int jobs : {1, 4}) {
            SCOPED_TRACE("keep going " + std::to_string(keepGoing) + ", jobs " + std::to_string(jobs));
            TempDir dir;
            WriteFile(dir / "1.jpg", Dated("2007:08:15 12:00:00"));
            WriteFile(dir / "2.jpg", Dated("2007:08:15 12:00:02"));
            WriteFile(dir / "3.jpg", "BAD data");
            WriteFile(dir / "4.jpg", Dated("2007:08:15 12:00:06"));
            WriteFile(dir / "5.jpg", "BAD again");
            RecordingObserver obs;
            FakeSteps steps;
            TBatchOptions options;
            options.Jobs = jobs;
            options.KeepGoing = keepGoing;
            TBatchResult result;
            const std::string message =
                FailureOf([&] { result = RunFolderBatch(dir.path().string(), options, obs, steps); });
            const auto failure = [&](const char* name) {
                return "JPEG error #53 (file \"" + (dir / name).string() + "\")";
            };
            std::vector<std::string> outputs = {"07.08.15  12_00_00.jpg", "07.08.15  12_00_02.jpg"};
            if (keepGoing) {
                EXPECT_EQ(message, "");
                outputs.push_back("07.08.15  12_00_06.jpg");
                const std::vector<std::pair<std::string, std::string>> failures = {{"3.jpg", failure("3.jpg")},
                                                                                   {"5.jpg", failure("5.jpg")}};
                EXPECT_EQ(obs.Failed, failures);
                ASSERT_EQ(result.Failures.size(), 2u);
                EXPECT_EQ(result.Failures[1].SourceName, "5.jpg");
                EXPECT_EQ(result.Processed, 3);
            } else {
                EXPECT_EQ(message, failure("3.jpg"));
                EXPECT_TRUE(obs.Failed.empty());
            }
            EXPECT_EQ(OutputNames(dir), outputs);
        }
    }
}

TEST(FolderBatchTest, FailureMessagesNameTheFile)
{
    TempDir dir;
    WriteFile(dir / "1.jpg", Dated("2007:08:15 12:00:00"));
    const std::string source = " (file \"" + (dir / "1.jpg").string() + "\")";
    RecordingObserver obs;
    obs.Controls.CorrectionOn = true;
    obs.Controls.CorrectionText = "24:0 :00";
    EXPECT_EQ(FailureOf([&] { RunBatch(dir, obs); }), "'24:0 :00' is not a valid date and time" + source);
    EXPECT_TRUE(OutputNames(dir).empty());

    // A name longer than the file system takes fails alike in a dry run and a real one,
    // before anything is written.
    obs.Controls.CorrectionOn = false;
    obs.Controls.NamingMask = std::string(252, '_') + "yy";
    const std::string tooLong = "Cannot create file \"" + (dir / "Dated").string() + "/" + std::string(252, '_') +
                                "07.jpg\". File name too long" + source;
    EXPECT_EQ(FailureOf([&] { RunBatch(dir, obs); }), tooLong);
    FakeSteps steps;
    TBatchOptions dry;
    dry.DryRun = true;
    EXPECT_EQ(FailureOf([&] { RunFolderBatch(dir.path().string(), dry, obs, steps); }), tooLong);
    EXPECT_TRUE(OutputNames(dir).empty());

    // A file where the output folder belongs: the folder cannot be made, and the message says so.
    TempDir blocked;
    WriteFile(blocked / "1.jpg", Dated("2007:08:15 12:00:00"));
    WriteFile(blocked / "Dated", "a file where the folder should be");
    obs.Controls.NamingMask = "yy.mm.dd  hh_nn_ss";
    EXPECT_EQ(FailureOf([&] { RunBatch(blocked, obs); }),
              "Cannot create folder \"" + (blocked / "Dated").string() + "\". File exists (file \"" +
                  (blocked / "1.jpg").string() + "\")");
}

TEST(FolderBatchTest, NamingMasksThatWouldLeaveTheOutputFolderAreRefused)
{
    struct Case { const char* mask; const char* nameInMessage; };
    for (const Case& c : {Case{"yy\"/\"mm", "07/08.jpg"}, Case{"'../'yy", "../07.jpg"}, Case{"\"\"", ".jpg"}}) {
        TempDir dir;
        WriteFile(dir / "1.jpg", Dated("2007:08:15 12:00:00"));
        RecordingObserver obs;
        obs.Controls.NamingMask = c.mask;
        try {
            RunBatch(dir, obs);
            ADD_FAILURE() << c.mask;
        } catch (const EInOutError& e) {
            const std::string want = "Cannot create file \"" + (dir / "Dated").string() + "/" + c.nameInMessage + "\"";
            EXPECT_EQ(std::string(e.what()).rfind(want, 0), 0u) << e.what();
        }
        std::vector<std::string> left;
        for (auto& e : fs::recursive_directory_iterator(dir.path()))
            left.push_back(fs::relative(e.path(), dir.path()).string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"1.jpg", "Dated"})) << c.mask;
    }
}

TEST(FolderBatchTest, EmptyNamingMaskMeansTheDefault)
{
    TempDir dir;
    WriteFile(dir / "1.jpg", Dated("2007:08:15 12:00:00"));
    RecordingObserver obs;
    obs.Controls.NamingMask = "";
    RunBatch(dir, obs);
    EXPECT_EQ(OutputNames(dir), (std::vector<std::string>{"07.08.15  12_00_00.jpg"}));
}

TEST(FolderBatchTest, StopEndsTheRunAfterTheFileInHand)
{
    for (int jobs : {1, 3}) {
        TempDir dir;
        for (int i = 0; i < 8; ++i)
            WriteFile(dir / (std::to_string(i) + ".jpg"), Dated("2007:08:15 12:00:0" + std::to_string(i)));
        RecordingObserver obs;
        obs.StopAfter = 5;
        auto r = RunBatch(dir, obs, true, jobs);
        EXPECT_TRUE(r.Stopped);
        EXPECT_EQ(r.Processed, 5);
        EXPECT_EQ(OutputNames(dir).size(), 5u) << "jobs " << jobs;
    }
}

TEST(FolderBatchTest, SourcesAreOnlyRead)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Dated("2007:08:15 12:00:00"));
    WriteFile(dir / "b.jpg", "no exif here");
    const TDateTime old = At(2001, 1, 1, 10, 0, 0);
    std::map<std::string, std::pair<std::string, struct stat>> before;
    for (auto n : {"a.jpg", "b.jpg"}) {
        SetMTime(dir / n, old);
        // Read before taking the times: the first read after the time change may move
        // the access time (relatime), the batch's reads must not.
        std::string bytes = ReadFile(dir / n);
        struct stat st {};
        ::stat((dir / n).c_str(), &st);
        before[n] = {std::move(bytes), st};
    }
    RecordingObserver obs;
    obs.Controls.ExifCarryOver = false;
    RunBatch(dir, obs, true, 2);
    RunBatch(dir, obs, false, 1);
    for (auto& [n, b] : before) {
        struct stat st {};
        ::stat((dir / n).c_str(), &st);
        EXPECT_EQ(ReadFile(dir / n), b.first) << n;
        EXPECT_EQ(st.st_mtim.tv_sec, b.second.st_mtim.tv_sec) << n;
        EXPECT_EQ(st.st_mtim.tv_nsec, b.second.st_mtim.tv_nsec) << n;
        EXPECT_EQ(st.st_atim.tv_sec, b.second.st_atim.tv_sec) << n;
        EXPECT_EQ(st.st_mode, b.second.st_mode) << n;
    }
}

TEST(FolderBatchTest, ExifTickChoosesTheWriter)
{
    TempDir dir;
    WriteFile(dir / "a.jpg", Dated("2007:08:15 12:00:00"));
    RecordingObserver obs;
    obs.Controls.ExifCarryOver = false;
    RunBatch(dir, obs, false);
    EXPECT_EQ(ReadFile(dir / "Dated" / "a.jpg").substr(0, 5), "JPEG[");
    obs.Controls.ExifCarryOver = true;
    RunBatch(dir, obs, false);
    EXPECT_EQ(ReadFile(dir / "Dated" / "a.jpg").substr(0, 5), "EXIF+");
}

TEST(FolderBatchTest, ParallelRunsWriteWhatOneJobWrites)
{
    auto fill = [](const TempDir& dir) {
        for (int i = 0; i < 23; ++i) {
            const std::string when = "2007:08:15 12:00:" + std::string(i % 3 == 0 ? "10" : "2") + std::to_string(i % 10);
            WriteFile(dir / ("p" + std::to_string(100 + i) + ".jpg"), Dated(when) + std::string(i, 'x'));
        }
        WriteFile(dir / "q.jpg", "no exif");
        SetMTime(dir / "q.jpg", At(2007, 8, 15, 12, 0, 10));
    };
    std::map<std::string, std::string> outputs[2];
    std::vector<std::string> order[2];
    int k = 0;
    for (int jobs : {1, 4}) {
        TempDir dir;
        fill(dir);
        RecordingObserver obs;
        RunBatch(dir, obs, true, jobs);
        RunBatch(dir, obs, true, jobs);  // and once more over the first run's outputs
        order[k] = obs.Written;
        for (auto& e : fs::directory_iterator(dir / "Dated"))
            if (e.path().filename() != kMadeRecordName)
                outputs[k][e.path().filename().string()] =
                ReadFile(e.path()) + "@" + std::to_string(GetFileFacts(e.path().string())->Modified);
        ++k;
    }
    EXPECT_EQ(order[0], order[1]);
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST(FolderBatchTest, DryRunDecidesNamesAndWritesNothing)
{
    TempDir dir;
    WriteFile(dir / "1.jpg", Dated("2007:08:15 12:30:45"));
    WriteFile(dir / "2.jpg", Dated("2007:08:15 12:30:45"));
    RecordingObserver obs;
    FakeSteps steps;
    TBatchOptions options;
    options.DryRun = true;
    auto r = RunFolderBatch(dir.path().string(), options, obs, steps);
    EXPECT_EQ(obs.Written, (std::vector<std::string>{"07.08.15  12_30_45.jpg", "07.08.15  12_30_45photo 2.jpg"}));
    EXPECT_EQ(r.Processed, 2);
    EXPECT_FALSE(fs::exists(dir / "Dated"));
}

TEST(FolderBatchTest, TwoRunsAtOnceOverOneFolderKeepEveryOutputOfBoth)
{
    TempDir dir;
    constexpr int kFiles = 20;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(dir / ("p" + std::to_string(i) + ".jpg"), Dated("2007:08:15 12:30:45"));
    TBatchResult results[2];
    std::thread runs[2];
    for (int r = 0; r < 2; ++r)
        runs[r] = std::thread([&, r] {
            FakeSteps steps;
            steps.Tag = r == 0 ? "AAAA" : "BBBB";
            RecordingObserver obs;
            TBatchOptions options;
            options.Jobs = 2;
            results[r] = RunFolderBatch(dir.path().string(), options, obs, steps);
        });
    for (auto& t : runs)
        t.join();
    for (int r = 0; r < 2; ++r) {
        ASSERT_EQ(results[r].Outputs.size(), size_t(kFiles));
        for (const TBatchOutput& o : results[r].Outputs)
            EXPECT_NE(ReadFile(o.OutputPath).find(r == 0 ? "+AAAA" : "+BBBB"), std::string::npos) << o.OutputPath;
    }
    EXPECT_EQ(OutputNames(dir).size(), size_t(2 * kFiles));
}

TEST(FolderBatchTest, SkipExistingPassesOverWhatAnInterruptedRunMade)
{
    TempDir dir;
    for (int i = 0; i < 4; ++i)
        WriteFile(dir / ("p" + std::to_string(i) + ".jpg"), Dated("2007:08:15 12:3" + std::to_string(i) + ":00"));
    FakeSteps steps;
    RecordingObserver interrupted;
    interrupted.StopAfter = 2;
    RunFolderBatch(dir.path().string(), {}, interrupted, steps);
    ASSERT_EQ(OutputNames(dir).size(), 2u);
    // p1 changed since: it is another photo now, and is made again.
    WriteFile(dir / "p1.jpg", Dated("2007:08:15 12:31:00") + " retouched");
    TBatchOptions options;
    options.SkipExisting = true;
    struct Skips : RecordingObserver {
        std::vector<std::string> Skipped;
        void FileSkipped(const std::string& n, const std::string&) override { Skipped.push_back(n); }
    } rerun;
    const TBatchResult r = RunFolderBatch(dir.path().string(), options, rerun, steps);
    EXPECT_EQ(rerun.Skipped, std::vector<std::string>{"p0.jpg"});
    EXPECT_EQ(r.Skipped, 1);
    EXPECT_EQ(rerun.Written, (std::vector<std::string>{"07.08.15  12_31_00photo 1.jpg", "07.08.15  12_32_00.jpg",
                                                        "07.08.15  12_33_00.jpg"}));
    // An output removed by hand is made again; without the option nothing is passed over.
    fs::remove(dir / "Dated" / "07.08.15  12_30_00.jpg");
    Skips third;
    RunFolderBatch(dir.path().string(), options, third, steps);
    EXPECT_EQ(third.Written, std::vector<std::string>{"07.08.15  12_30_00.jpg"});
    RecordingObserver plain;
    RunFolderBatch(dir.path().string(), {}, plain, steps);
    EXPECT_EQ(plain.Written.size(), 4u);
}

TEST(FolderBatchTest, WriteFileReplacingLeavesNoTemporaryFiles)
{
    TempDir dir;
    WriteFileReplacing((dir / "out.jpg").string(), "one");
    WriteFileReplacing((dir / "out.jpg").string(), "two");
    EXPECT_EQ(ReadFile(dir / "out.jpg"), "two");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_THROW(WriteFileReplacing((dir / "missing" / "x.jpg").string(), "x"), EInOutError);
}

}  // namespace
}  // namespace morvik
