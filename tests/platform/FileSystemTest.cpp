#include "platform/FileSystem.h"

#include "platform/Exceptions.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

using namespace morvik;

TEST(FileSystem, PackedFileTimeKeepsEvenSecondsWithinTheFatRange)
{
    struct Case { int y, mo, d, h, mi, s; bool inRange; int expectedSecond; };
    const Case cases[] = {
        {2007, 8, 15, 12, 30, 45, true, 44}, {2007, 8, 15, 0, 0, 42, true, 42},
        {1980, 1, 1, 0, 0, 0, true, 0},      {2107, 12, 31, 23, 59, 59, true, 58},
        {1979, 12, 31, 23, 59, 59, false, 0}, {2108, 1, 1, 0, 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        auto v = TryEncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s).value();
        auto packed = PackedFileTime(v);
        ASSERT_EQ(packed.has_value(), c.inRange) << c.y;
        if (packed) {
            EXPECT_EQ(packed->Second, c.expectedSecond) << c.y << " " << c.s;
        }
    }
}

TEST(FileSystem, TwoSecondFloorWorksOnRoundedFieldsInEveryYear)
{
    auto at = [](int y, int s) { return *TryEncodeDateTime(y, 2, 3, 0, 0, s); };
    struct Case { TDateTime in; TDateTime want; };
    const TDateTime t42 = at(2001, 42);
    const Case cases[] = {
        {t42, t42},
        {t42 - 0.0004 / 86400, t42},  // 41.9996 s rounds to 42.000 first
        {t42 + 1.0 / 86400, t42},     // 43 -> 42
        {t42 + 1.9 / 86400, t42},     // 43.9 -> 42
        {*TryEncodeDateTime(2001, 2, 3, 23, 59, 59), *TryEncodeDateTime(2001, 2, 3, 23, 59, 58)},
        {at(1975, 13) + 0.7 / 86400, at(1975, 12)},  // before the packed date's years alike
        {at(2150, 59), at(2150, 58)},
        {-1e7, -1e7},                 // outside years 1..9999: as it is
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(TwoSecondFloor(c.in), c.want) << c.in;
}

TEST(FileSystem, ModifiedTimeSetAndReadBackInLocalTime)
{
    test::TempDir dir;
    const std::string file = (dir / "a.jpg").string();
    test::WriteFile(file, "x");
    auto when = TryEncodeDateTime(2006, 7, 1, 10, 20, 31).value();
    ASSERT_TRUE(SetFileModifiedTime(file, when));
    auto facts = GetFileFacts(file);
    ASSERT_TRUE(facts);
    auto f = DecodeDateTime(facts->Modified);
    EXPECT_EQ(f.Year, 2006);
    EXPECT_EQ(f.Hour, 10);
    EXPECT_EQ(f.Minute, 20);
    EXPECT_EQ(f.Second, 30);  // two-second resolution
    EXPECT_FALSE(SetFileModifiedTime(file, TryEncodeDate(1970, 1, 1).value()));
    EXPECT_FALSE(SetFileModifiedTime((dir / "missing.jpg").string(), when));
}

TEST(FileSystem, LocalTimeFollowsTheZoneRuleOfThatDate)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    test::TempDir dir;
    const std::string file = (dir / "b.jpg").string();
    test::WriteFile(file, "x");
    // Summer (UTC+2) and winter (UTC+1) dates both read back as the local time set.
    for (auto when : {TryEncodeDateTime(2008, 7, 16, 11, 33, 20).value(),
                      TryEncodeDateTime(2008, 1, 16, 11, 33, 20).value()}) {
        ASSERT_TRUE(SetFileModifiedTime(file, when));
        auto f = DecodeDateTime(GetFileFacts(file)->Modified);
        EXPECT_EQ(f.Hour, 11);
        EXPECT_EQ(f.Minute, 33);
        EXPECT_EQ(f.Second, 20);
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(FileSystem, ListFolderSeesFilesAndFolders)
{
    test::TempDir dir;
    test::WriteFile(dir / "one.jpg", "1");
    std::filesystem::create_directory(dir / "x.jpg");
    auto entries = ListFolder(dir.path().string());
    ASSERT_EQ(entries.size(), 2u);
    int folders = 0;
    for (const auto& e : entries) {
        folders += e.IsDirectory ? 1 : 0;
        EXPECT_NE(e.IsRegular, e.IsDirectory) << e.Name;
    }
    EXPECT_EQ(folders, 1);
    // The facts the batch takes from the listing: the time as the file system keeps it.
    struct stat st {};
    ASSERT_EQ(::stat((dir / "one.jpg").c_str(), &st), 0);
    const auto& file = entries[0].IsRegular ? entries[0] : entries[1];
    EXPECT_EQ(file.ModifiedNs, int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec);
    EXPECT_TRUE(FileExists((dir / "one.jpg").string()));
    EXPECT_FALSE(FileExists((dir / "x.jpg").string()));
    EXPECT_TRUE(DirectoryExists((dir / "x.jpg").string()));
}

TEST(FileSystem, ReadWholeFileReadsAllOrSaysWhyNot)
{
    test::TempDir dir;
    // More than one read's worth, in a buffer backed by large pages, each 4 KiB page of it
    // different from the others so that a page out of place shows.
    std::string big(3'000'000, 'x');
    for (size_t i = 0; i < big.size(); i += 4096)
        big.replace(i, 8, std::to_string(10'000'000 + i / 4096));
    test::WriteFile(dir / "a.jpg", big);
    EXPECT_EQ(ReadWholeFile((dir / "a.jpg").string(), big.size(), false), big);
    EXPECT_EQ(ReadWholeFile((dir / "a.jpg").string(), big.size(), true), big);
    // Into a buffer of an earlier file: a smaller file leaves nothing of the earlier one, a
    // larger one grows it.
    test::WriteFile(dir / "b.jpg", "small");
    std::string buffer;
    for (const char* name : {"a.jpg", "b.jpg", "a.jpg"}) {
        ReadWholeFile((dir / name).string(), big.size(), true, buffer);
        EXPECT_EQ(buffer, name[0] == 'a' ? big : "small");
    }
    // A file without a size (the kernel's, like a pipe's) is read to its end.
    EXPECT_NE(ReadWholeFile("/proc/self/status", 1 << 20, false).find("Name:"), std::string::npos);
    // A pipe with no writer would block a reader for ever; a device may never end.
    ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0644), 0);
    struct Case { std::string path; size_t maxBytes; std::string reason; };
    const Case cases[] = {
        {(dir / "pipe.jpg").string(), 100, "Not a regular file"},
        {"/dev/zero", 100, "Not a regular file"},
        {"/proc/self/status", 10, "File too large"},
        {(dir / "missing.jpg").string(), 100, "No such file or directory"},
        {dir.path().string(), 100, "Is a directory"},
        {(dir / "a.jpg").string(), big.size() - 1, "File too large"},
    };
    for (const Case& c : cases) {
        try {
            ReadWholeFile(c.path, c.maxBytes, true);
            ADD_FAILURE() << c.path;
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + c.path + "\". " + c.reason);
        }
    }
}

TEST(FileSystem, ReserveForReuseMakesRoomOnceForWhatItWasAsked)
{
    // Around the sizes where a buffer is rounded up to whole large pages.
    for (const size_t size : {size_t(1000), (size_t(1) << 20) - 1, size_t(1) << 20, (size_t(2) << 20) - 65,
                              (size_t(2) << 20) - 64, size_t(2) << 20, size_t(3'700'000)}) {
        std::string buffer;
        ReserveForReuse(buffer, size);
        EXPECT_GE(buffer.capacity(), size) << size;
        EXPECT_TRUE(buffer.empty()) << size;
        const char* const storage = buffer.data();
        buffer.resize(size, 'x');  // fills the room asked for without growing
        buffer.clear();
        ReserveForReuse(buffer, size);
        EXPECT_EQ(buffer.data(), storage) << size;
    }
}

TEST(FileSystem, PublishNewNeverReplacesAndDatesTheFileBeforeItHasItsName)
{
    test::TempDir dir;
    const std::string taken = (dir / "a.jpg").string(), free = (dir / "b.jpg").string();
    test::WriteFile(dir / "a.jpg", "earlier");
    const TDateTime date = *TryEncodeDateTime(2007, 8, 15, 12, 30, 44, 0);
    {
        ReplacingFile file(taken);
        file.Write("new");
        EXPECT_TRUE(file.SetModifiedTime(date));
        EXPECT_FALSE(file.PublishNew(taken));  // refused: the earlier file stays whole
        EXPECT_EQ(test::ReadFile(dir / "a.jpg"), "earlier");
        EXPECT_TRUE(file.PublishNew(free));  // the same written file under the next name
    }
    EXPECT_EQ(test::ReadFile(dir / "b.jpg"), "new");
    EXPECT_NEAR(GetFileFacts(free)->Modified, date, 1e-6);  // dated as it got its name
    EXPECT_EQ(ListFolder(dir.path().string()).size(), 2u);  // no temporary file left
    ReplacingFile missing((dir / "x.jpg").string());
    missing.Write("x");
    EXPECT_THROW(missing.PublishNew((dir / "absent" / "x.jpg").string()), EInOutError);
}
