// The executor of the records' writes: a thread for each piece of work, all waited for at the end.

#include "platform/thread_per_task_executor.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace sorvin::test {
namespace {

using namespace std::chrono_literals;

// Pieces of work that each wait until all of them have started run side by side: none waits
// behind another that a disk holds. Gone, the executor has waited for every one of them.
TEST(ThreadPerTaskExecutor, RunsEachPieceBesideTheOthersAndWaitsForAllWhenItGoes) {
    constexpr int kPieces = 8;
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    std::atomic<int> sawAllStarted{0};
    std::atomic<int> ended{0};
    {
        ThreadPerTaskExecutor executor;
        for (int round = 0; round < 2; ++round) {
            for (int piece = 0; piece < kPieces; ++piece) {
                executor.run(TaskPriority::userInitiated, [&] {
                    std::unique_lock lock(mutex);
                    ++started;
                    changed.notify_all();
                    if (changed.wait_for(lock, 20s, [&] { return started % kPieces == 0; })) ++sawAllStarted;
                    lock.unlock();
                    std::this_thread::sleep_for(1ms);
                    ++ended;
                });
            }
            std::unique_lock lock(mutex);
            changed.wait_for(lock, 20s, [&] { return started == (round + 1) * kPieces; });
        }
    }
    EXPECT_EQ(ended.load(), 2 * kPieces) << "the executor went before its work ended";
    EXPECT_EQ(sawAllStarted.load(), 2 * kPieces) << "a piece of work waited behind another";
}

} // namespace
} // namespace sorvin::test
