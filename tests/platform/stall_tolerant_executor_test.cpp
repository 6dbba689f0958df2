// The executor of the questions to the disk: a few threads kept, one more for each that stalls.

#include "platform/stall_tolerant_executor.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace sorvin::test {
namespace {

using namespace std::chrono_literals;

// What the work tells the test, and a gate that holds the work that stalls.
struct Board {
    std::mutex mutex;
    std::condition_variable changed;
    int done = 0;
    int started = 0;
    bool open = false;

    void finish() {
        const std::lock_guard lock(mutex);
        ++done;
        changed.notify_all();
    }
    void start() {
        const std::lock_guard lock(mutex);
        ++started;
        changed.notify_all();
    }
    void hold() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 1min, [&] { return open; });
    }
    int finished() {
        const std::lock_guard lock(mutex);
        return done;
    }
    void letGo() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    // False when `count` pieces of work have not finished within a time only a fault takes.
    bool waitFor(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return done >= count; });
    }
    // True once at least `count` pieces of work started within `wait`.
    bool startedWithin(int count, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, wait, [&] { return started >= count; });
    }
};

// Many quick pieces of work run on the threads kept, not on a thread each.
TEST(StallTolerantExecutor, RunsQuickWorkOnTheThreadsItKeeps) {
    auto board = std::make_shared<Board>();
    StallTolerantExecutor executor(2, 10.0);
    for (int piece = 0; piece < 500; ++piece) executor.run(TaskPriority::userInitiated, [board] { board->finish(); });
    ASSERT_TRUE(board->waitFor(500));
    EXPECT_LE(executor.threadCount(), 2u);
}

// Every thread stalled: the work queued behind them still runs, on a thread started for it, and
// the threads started so leave once the stalled ones came back.
TEST(StallTolerantExecutor, WorkQueuedBehindStalledThreadsStillRuns) {
    auto board = std::make_shared<Board>();
    {
        StallTolerantExecutor executor(2, 0.05);
        for (int stalled = 0; stalled < 3; ++stalled)
            executor.run(TaskPriority::userInitiated, [board] {
                board->hold();
                board->finish();
            });
        for (int quick = 0; quick < 10; ++quick)
            executor.run(TaskPriority::userInitiated, [board] { board->finish(); });
        ASSERT_TRUE(board->waitFor(10)) << "the quick work waited for the stalled";
        EXPECT_EQ(board->finished(), 10);
        EXPECT_LE(executor.threadCount(), 3u + 2u) << "one thread for each stalled, and the threads kept";
        board->letGo();
        ASSERT_TRUE(board->waitFor(13));
        for (int look = 0; look < 2000 && executor.threadCount() > 2; ++look) std::this_thread::sleep_for(1ms);
        EXPECT_LE(executor.threadCount(), 2u);
    }
}

// A disk that stalls on every piece of work takes no more threads than the bound, however long it
// stalls and however much work waits: the rest waits in the queue, and runs, each piece once, as
// threads come back.
TEST(StallTolerantExecutor, StalledWorkTakesNoMoreThreadsThanTheBound) {
    constexpr std::size_t kBound = 6;
    constexpr int kPieces = 100;
    auto board = std::make_shared<Board>();
    auto runs = std::make_shared<std::array<std::atomic<int>, kPieces>>();
    StallTolerantExecutor executor(2, 0.01, kBound);
    for (int piece = 0; piece < kPieces; ++piece)
        executor.run(TaskPriority::userInitiated, [board, runs, piece] {
            board->start();
            board->hold();
            ++(*runs)[piece];
            board->finish();
        });
    const bool reachedTheBound = board->startedWithin(int(kBound), 20s);
    // Many stall times, in which an unbounded executor starts a thread for each piece.
    const bool wentPast = board->startedWithin(int(kBound) + 1, 500ms);
    const std::size_t threadsStalled = executor.threadCount();
    board->letGo();
    EXPECT_TRUE(reachedTheBound) << "a thread for each stalled, up to the bound";
    EXPECT_FALSE(wentPast) << "more pieces started at once than the bound";
    EXPECT_LE(threadsStalled, kBound);
    ASSERT_TRUE(board->waitFor(kPieces)) << "the work behind the bound ran once threads came back";
    for (int piece = 0; piece < kPieces; ++piece) EXPECT_EQ((*runs)[piece].load(), 1) << piece;
    EXPECT_LE(executor.threadCount(), kBound);
}

// Gone, the executor drops what did not start; a stalled piece of work ends in its own time.
TEST(StallTolerantExecutor, GoneItDropsWhatDidNotStart) {
    auto board = std::make_shared<Board>();
    auto queued = std::make_shared<int>(0);
    const std::weak_ptr<int> dropped = queued;
    {
        StallTolerantExecutor executor(1, 10.0);
        executor.run(TaskPriority::userInitiated, [board] {
            board->finish();
            board->hold();
        });
        ASSERT_TRUE(board->waitFor(1)) << "the first piece started";
        executor.run(TaskPriority::userInitiated, [board, queued = std::move(queued)] { board->finish(); });
    }
    EXPECT_TRUE(dropped.expired()) << "what did not start went with the executor";
    EXPECT_EQ(board->finished(), 1);
    board->letGo();
}

} // namespace
} // namespace sorvin::test
