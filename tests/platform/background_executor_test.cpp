#include "platform/background_executor.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace sorvin {
namespace {

TEST(ThreadPoolExecutorTest, RunsWorkOfBothPrioritiesOffTheCallingThread) {
    ThreadPoolExecutor executor;
    for (const TaskPriority priority : {TaskPriority::userInitiated, TaskPriority::utility}) {
        std::promise<std::thread::id> ranOn;
        auto future = ranOn.get_future();
        executor.run(priority, [&ranOn] { ranOn.set_value(std::this_thread::get_id()); });
        EXPECT_NE(future.get(), std::this_thread::get_id());
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

} // namespace
} // namespace sorvin
