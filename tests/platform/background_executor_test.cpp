#include "platform/background_executor.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace sorvin {
namespace {

constexpr int kLowestPriority = 19; // the largest niceness

int threadNiceness() {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

// Off the calling thread, below its priority and as batch work, so that the main thread is never
// kept waiting for a processor by background work; only two steps of nice below, so that other
// programs do not take the machine from it. Tests started at the lowest priority there is (nice 19)
// or a step above it find the workers as low as there is.
TEST(ThreadPoolExecutorTest, RunsWorkOfBothPrioritiesOffTheCallingThreadAndBelowItsPriority) {
    ThreadPoolExecutor executor;
    for (const TaskPriority priority : {TaskPriority::userInitiated, TaskPriority::utility}) {
        struct Worker {
            std::thread::id thread;
            int niceness;
            int policy;
        };
        std::promise<Worker> ranOn;
        auto future = ranOn.get_future();
        executor.run(priority, [&ranOn] {
            ranOn.set_value({std::this_thread::get_id(), threadNiceness(), ::sched_getscheduler(0)});
        });
        const Worker worker = future.get();
        EXPECT_NE(worker.thread, std::this_thread::get_id());
        EXPECT_EQ(worker.niceness, std::min(kLowestPriority, threadNiceness() + 2));
        EXPECT_EQ(worker.policy, SCHED_BATCH);
    }
}

TEST(ThreadPoolExecutorTest, GoingAwayWaitsForTheWorkHandedToIt) {
    std::atomic<bool> finished = false;
    std::promise<void> started;
    std::promise<void> release;
    std::thread releaser;
    {
        ThreadPoolExecutor executor;
        executor.run(TaskPriority::utility, [&, proceed = release.get_future().share()] {
            started.set_value();
            proceed.wait();
            finished = true;
        });
        started.get_future().wait();
        // Let the work go on only once the executor has begun to go away (or soon after).
        releaser = std::thread([&release] { release.set_value(); });
    }
    EXPECT_TRUE(finished);
    releaser.join();
}

// Work held by a disk that stopped answering (here: a gate, which uses no processor either) holds
// its own thread, never the work handed after it, however many workers it holds, of either
// priority; and no work runs twice for it.
TEST(ThreadPoolExecutorTest, WorkHandedWhileEveryWorkerWaitsOnADiskStillRuns) {
    using namespace std::chrono_literals;
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int held = 0;
        int ran = 0;
    } gate;
    const int workers = ThreadPoolExecutor::workerCount();
    ThreadPoolExecutor executor;
    int handed = 0;
    for (const TaskPriority priority : {TaskPriority::userInitiated, TaskPriority::utility}) {
        handed += workers + 1;
        for (int i = 0; i < workers + 1; ++i) {
            executor.run(priority, [&gate] {
                std::unique_lock lock(gate.mutex);
                ++gate.held;
                gate.changed.notify_all();
                gate.changed.wait(lock, [&] { return gate.open; });
            });
        }
        {
            std::unique_lock lock(gate.mutex);
            EXPECT_TRUE(gate.changed.wait_for(lock, 20s, [&] { return gate.held >= handed - 1; }));
        }
        executor.run(priority, [&gate] {
            const std::lock_guard lock(gate.mutex);
            ++gate.ran;
            gate.changed.notify_all();
        });
        std::unique_lock lock(gate.mutex);
        EXPECT_TRUE(gate.changed.wait_for(lock, 20s, [&] { return gate.ran == 1; }))
            << "work waited for the held workers";
        gate.ran = 0;
    }
    {
        const std::lock_guard lock(gate.mutex);
        gate.open = true;
        gate.changed.notify_all();
    }
    EXPECT_TRUE(executor.waitUntilIdle(20));
    EXPECT_EQ(gate.held, handed);
}

} // namespace
} // namespace sorvin
