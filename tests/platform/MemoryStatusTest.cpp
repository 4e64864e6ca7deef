// The memory budget of pictures in flight: shared by threads, waiting rather than
// oversubscribing, refusing only what could never fit.
#include "platform/MemoryStatus.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace morvik {
namespace {

TEST(MemoryStatusTest, ReservationsWaitForEachOtherAndRefuseOnlyWhatNeverFits)
{
    const uint64_t available = AvailableMemoryBytes();
    ASSERT_GT(available, 0u) << "no memory reading on this machine";
    EXPECT_LE(available, ReadMemoryStatus().TotalPhysBytes);
    EXPECT_FALSE(ReserveMemory(available * 2).has_value());

    // Two jobs that each need over half of it (55 %): the second waits for the first.
    std::optional<MemoryReservation> first = ReserveMemory(available / 20 * 11);
    ASSERT_TRUE(first.has_value());
    std::atomic<bool> granted{false};
    std::thread second([&] {
        std::optional<MemoryReservation> r = ReserveMemory(available / 20 * 11);
        granted = r.has_value();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(granted.load());
    first.reset();
    second.join();
    EXPECT_TRUE(granted.load());
}

// A container's limit, under either hierarchy, bounds what a job may take: what the group
// has left, with file cache that may be dropped counted as left.
TEST(MemoryStatusTest, AControlGroupsLimitIsWhatIsLeftOfIt)
{
    struct Case {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Files;  // path under the root, content
        std::optional<uint64_t> Left;
    };
    const std::string v2 = "sys/fs/cgroup/box", v1 = "sys/fs/cgroup/memory/box";
    const Case cases[] = {
        {"v2 limit",
         {{"proc/self/cgroup", "0::/box\n"}, {v2 + "/memory.max", "1000000\n"}, {v2 + "/memory.current", "400000\n"},
          {v2 + "/memory.stat", "anon 300000\ninactive_file 100000\n"}},
         700000},
        {"v2 without a limit",
         {{"proc/self/cgroup", "0::/box\n"}, {v2 + "/memory.max", "max\n"}, {v2 + "/memory.current", "400000\n"}},
         std::nullopt},
        {"v2 seen as the root of a namespace",
         {{"proc/self/cgroup", "0::/\n"},
          {"sys/fs/cgroup/memory.max", "5000\n"},
          {"sys/fs/cgroup/memory.current", "7000\n"}},
         0},
        {"v1 memory controller",
         {{"proc/self/cgroup", "5:cpu,cpuacct:/other\n4:memory:/box\n"},
          {v1 + "/memory.limit_in_bytes", "2000000\n"}, {v1 + "/memory.usage_in_bytes", "500000\n"},
          {v1 + "/memory.stat", "cache 1\ntotal_inactive_file 250000\n"}},
         1750000},
        {"v1 unlimited",
         {{"proc/self/cgroup", "4:memory:/box\n"},
          {v1 + "/memory.limit_in_bytes", "9223372036854771712\n"},
          {v1 + "/memory.usage_in_bytes", "500000\n"}},
         std::nullopt},
        {"no groups at all", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        test::TempDir root;
        for (const auto& [path, content] : c.Files) {
            std::filesystem::create_directories((root / path).parent_path());
            test::WriteFile(root / path, content);
        }
        EXPECT_EQ(MemoryLeftInControlGroups(root.path().string()), c.Left) << c.Name;
    }
}

}  // namespace
}  // namespace morvik
