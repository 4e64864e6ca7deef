// The memory budget of pictures in flight: shared by threads, waiting rather than
// oversubscribing, refusing only what could never fit.
#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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

}  // namespace
}  // namespace morvik
