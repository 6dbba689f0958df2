#include "platform/background_executor.hpp"

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

} // namespace
} // namespace sorvin
