#pragma once
// Work on a list done on several threads, with everything around it in the list's order:
// each index i of 0..Count-1 goes through
//   prepare(i, item)           on the calling thread, in index order;
//   work(i, item)              on any of the threads, once, after prepare(i, item);
//   commit(i, item, failure)   on the calling thread, in index order, once work(i, item)
//                              has ended; failure is what work raised, or null.
// So what reads shared state or writes output belongs in prepare and commit, and the
// outcome is that of a one-thread run however the work is timed.
//
// - Indices are handed to threads in runs of `Run` consecutive ones: work of a few
//   microseconds is not worth a hand-over of its own.
// - No index is prepared more than `Ahead` runs ahead of the run being committed, so few
//   results wait in memory however long the list is.
// - With Jobs <= 1 no thread is started: each index is worked on the calling thread just
//   before its commit. Otherwise Jobs threads work; with CallerWorks the calling thread is
//   one of them, working a run further on while the next in line is not done, instead of
//   idling; without, it only waits (it may have a window to keep live).
// - A failure of work(i) is carried to i's commit, which decides what it means.
// - commit returning false stops: nothing more is prepared, worked or committed; work
//   under way is waited for. A failure raised by prepare or commit ends the run the same
//   way and is raised again to the caller.
// Items live in slots reused along the list: each starts as Item{}, and what its commit
// leaves of it is freed as soon as the commit returns.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace morvik {

struct OrderedParallelPlan {
    size_t Count = 0;
    int Jobs = 1;
    size_t Run = 1;    // indices a thread takes at once
    size_t Ahead = 1;  // runs prepared at most, the one being committed among them
    bool CallerWorks = false;
};

template <class Item, class Prepare, class Work, class Commit>
void OrderedParallelFor(const OrderedParallelPlan& plan, Prepare&& prepare, Work&& work, Commit&& commit)
{
    const size_t count = plan.Count;
    if (count == 0)
        return;
    const size_t ahead = std::max<size_t>(1, plan.Ahead);
    // Threads beside the calling one; none where the calling thread would work alone,
    // and then nothing is handed over: each index is worked just before its commit,
    // while what it made is fresh in the cache.
    const size_t planRun = std::max<size_t>(1, plan.Run);
    const size_t planRuns = (count + planRun - 1) / planRun;
    const size_t threads = plan.Jobs <= 1 ? 0
                           : plan.CallerWorks ? std::min(planRuns, size_t(plan.Jobs)) - 1
                                              : std::min(planRuns, size_t(plan.Jobs));
    const size_t run = threads == 0 ? 1 : planRun;
    const size_t runs = (count + run - 1) / run;
    enum class RunState : char { Waiting, Taken, Done };

    std::vector<Item> items(std::min(count, ahead * run));
    std::vector<std::exception_ptr> failures(items.size());
    std::vector<RunState> states(std::min(runs, ahead));  // of the runs in the window
    std::mutex mutex;
    std::condition_variable workReady;  // a run was handed out, or the list ends
    std::condition_variable runDone;    // for the calling thread waiting for the run in line
    size_t published = 0;  // runs prepared whole, open to the threads
    size_t nextTaken = 0;  // the first run no thread has taken; runs are taken in order
    bool callerWaiting = false;
    bool ending = false;

    // Works the run `r`, which this thread has just taken, without the lock.
    auto workRun = [&](size_t r) {
        for (size_t i = r * run; i < std::min(count, (r + 1) * run); ++i) {
            try {
                work(i, items[i % items.size()]);
            } catch (...) {
                // Whatever it is, it is carried to i's commit, in its turn.
                failures[i % items.size()] = std::current_exception();
            }
        }
    };
    // Takes the first run no thread has taken, under the lock; false when none is open.
    auto takeRun = [&](std::unique_lock<std::mutex>& lock) -> bool {
        if (nextTaken >= published)
            return false;
        const size_t r = nextTaken++;
        states[r % states.size()] = RunState::Taken;
        lock.unlock();
        workRun(r);
        lock.lock();
        states[r % states.size()] = RunState::Done;
        return true;
    };

    const bool callerWorks = threads == 0 || plan.CallerWorks;

    // Returns once the run `r`, the next in line, is done. A calling thread that works
    // takes it, or while another thread works it, a run further on.
    auto awaitRun = [&](size_t r) {
        std::unique_lock lock(mutex);
        while (states[r % states.size()] != RunState::Done) {
            if (callerWorks && takeRun(lock))
                continue;
            callerWaiting = true;
            runDone.wait(lock);
            callerWaiting = false;
        }
    };

    auto helper = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            // A thread leaves as soon as every run is taken, so that the last one ends
            // without waiting to be told.
            workReady.wait(lock, [&] { return ending || nextTaken < published || nextTaken >= runs; });
            if (ending || nextTaken >= runs)
                return;
            takeRun(lock);
            if (callerWaiting)
                runDone.notify_one();
        }
    };
    std::vector<std::jthread> helpers;
    auto endHelpers = [&] {
        {
            std::lock_guard lock(mutex);
            ending = true;
        }
        workReady.notify_all();
        helpers.clear();  // joins; a run under way is finished first
    };
    // Ends the helpers before the items they work on go, however the run ends.
    struct HelpersEnder {
        decltype(endHelpers)& End;
        ~HelpersEnder() { End(); }
    } helpersEnder{endHelpers};
    size_t prepared = 0;
    for (size_t current = 0; current < count; ++current) {
        while (prepared < count && prepared / run < current / run + ahead) {
            prepare(prepared, items[prepared % items.size()]);
            if (++prepared % run == 0 || prepared == count) {
                {
                    std::lock_guard lock(mutex);
                    states[published % states.size()] = RunState::Waiting;
                    ++published;
                }
                // Threads start as runs come, so that the first ones find work at once.
                if (helpers.size() < threads)
                    helpers.emplace_back(helper);
                else
                    workReady.notify_one();
            }
        }
        if (current % run == 0)
            awaitRun(current / run);
        Item& item = items[current % items.size()];
        std::exception_ptr& failure = failures[current % items.size()];
        const bool goOn = commit(current, item, failure);
        // Exchanged, not assigned: an assigned string keeps its buffer.
        std::exchange(item, Item{});
        failure = nullptr;
        if (!goOn)
            break;
    }
}

}  // namespace morvik
