#include "platform/OrderedParallel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace morvik;

namespace {

struct Step {
    size_t Prepared = SIZE_MAX;
    size_t Worked = SIZE_MAX;
};

// Work of uneven length, so that later indices often end first.
void UnevenWork(size_t i)
{
    std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 13 * 40));
}

}  // namespace

TEST(OrderedParallelTest, CommitsInOrderAfterEachWorkOnAtMostTheJobsThreads)
{
    struct Case {
        size_t Count;
        int Jobs;
        size_t Run;
        size_t Ahead;
        bool CallerWorks;
    };
    const Case cases[] = {
        {0, 4, 1, 4, false}, {1, 4, 16, 12, true}, {30, 1, 1, 1, false},  {40, 4, 1, 4, false},
        {40, 2, 3, 2, true}, {103, 3, 16, 12, true}, {25, 8, 1, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Count << " indices, " << c.Jobs << " jobs, runs of " << c.Run << ", "
                                        << c.Ahead << " ahead" << (c.CallerWorks ? ", caller works" : ""));
        std::vector<size_t> prepared, committed;
        std::mutex mutex;
        std::set<std::thread::id> workers;
        OrderedParallelFor<Step>(
            {.Count = c.Count, .Jobs = c.Jobs, .Run = c.Run, .Ahead = c.Ahead, .CallerWorks = c.CallerWorks},
            [&](size_t i, Step& step) {
                EXPECT_LT(i / c.Run, committed.size() / c.Run + c.Ahead) << "prepared too far ahead";
                prepared.push_back(i);
                step.Prepared = i;
            },
            [&](size_t i, Step& step) {
                EXPECT_EQ(step.Prepared, i);
                UnevenWork(i);
                step.Worked = i;
                std::lock_guard lock(mutex);
                workers.insert(std::this_thread::get_id());
            },
            [&](size_t i, Step& step, const std::exception_ptr& failure) {
                EXPECT_FALSE(failure);
                EXPECT_EQ(step.Worked, i);
                committed.push_back(i);
                return true;
            });
        std::vector<size_t> all(c.Count);
        for (size_t i = 0; i < c.Count; ++i)
            all[i] = i;
        EXPECT_EQ(prepared, all);
        EXPECT_EQ(committed, all);
        EXPECT_LE(workers.size(), size_t(c.Jobs));
        if (c.Jobs == 1 && c.Count > 0) {
            EXPECT_EQ(workers, std::set{std::this_thread::get_id()});
        }
    }
}

// A failure of the work reaches the commit of its index in its turn: a commit that raises
// it ends the run there, one that passes it over goes on; a commit's own failure or its
// stop ends the run at once. Nothing after the end is committed.
TEST(OrderedParallelTest, AFailureIsCarriedToItsTurnAndAStopOrARaiseEndsTheRun)
{
    enum class Ending { Raise, PassOver, Stop, CommitRaises };
    struct Case {
        Ending How;
        int Jobs;
        size_t Run;
    };
    const Case cases[] = {
        {Ending::Raise, 1, 1},       {Ending::Raise, 4, 1},        {Ending::Raise, 3, 8},
        {Ending::PassOver, 3, 8},    {Ending::Stop, 1, 1},          {Ending::Stop, 4, 1},
        {Ending::Stop, 3, 8},        {Ending::CommitRaises, 4, 1},  {Ending::CommitRaises, 3, 8},
    };
    constexpr size_t kCount = 60, kAt = 21;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.How) << ", " << c.Jobs << " jobs, runs of " << c.Run);
        const bool workFails = c.How == Ending::Raise || c.How == Ending::PassOver;
        std::vector<size_t> committed, failed;
        std::string raised;
        size_t prepared = 0;
        try {
            OrderedParallelFor<Step>(
                {.Count = kCount, .Jobs = c.Jobs, .Run = c.Run, .Ahead = 2, .CallerWorks = c.Jobs > 1},
                [&](size_t, Step&) { ++prepared; },
                [&](size_t i, Step&) {
                    UnevenWork(i);
                    if (workFails && i == kAt)
                        throw std::runtime_error("work " + std::to_string(i));
                },
                [&](size_t i, Step&, const std::exception_ptr& failure) {
                    if (failure) {
                        failed.push_back(i);
                        if (c.How == Ending::Raise)
                            std::rethrow_exception(failure);
                    }
                    if (c.How == Ending::CommitRaises && i == kAt)
                        throw std::runtime_error("commit " + std::to_string(i));
                    committed.push_back(i);
                    return !(c.How == Ending::Stop && i == kAt);
                });
        } catch (const std::runtime_error& e) {
            raised = e.what();
        }
        const std::string expectedRaise = c.How == Ending::Raise        ? "work 21"
                                          : c.How == Ending::CommitRaises ? "commit 21"
                                                                         : "";
        EXPECT_EQ(raised, expectedRaise);
        EXPECT_EQ(failed, workFails ? std::vector<size_t>{kAt} : std::vector<size_t>{});
        const size_t lastCommitted = c.How == Ending::PassOver ? kCount - 1 : c.How == Ending::Stop ? kAt : kAt - 1;
        ASSERT_EQ(committed.size(), lastCommitted + 1);
        EXPECT_EQ(committed.back(), lastCommitted);
        if (c.How != Ending::PassOver) {
            EXPECT_LE(prepared, (kAt / c.Run + 2) * c.Run) << "prepared past the window";
        }
    }
}
