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
    StallTolerantExecutor executor({.workers = 2, .stallAfter = 10.0});
    for (int piece = 0; piece < 500; ++piece) executor.run(TaskPriority::userInitiated, [board] { board->finish(); });
    ASSERT_TRUE(board->waitFor(500));
    EXPECT_LE(executor.threadCount(), 2u);
}

// Every thread stalled: the work queued behind them still runs, on a thread started for it, and
// the threads started so leave once the stalled ones came back.
TEST(StallTolerantExecutor, WorkQueuedBehindStalledThreadsStillRuns) {
    auto board = std::make_shared<Board>();
    {
        StallTolerantExecutor executor({.workers = 2, .stallAfter = 0.05});
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
    StallTolerantExecutor executor({.workers = 2, .stallAfter = 0.01, .maxThreads = kBound, .maxPerDisk = kBound});
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

// A disk that stopped answering to many questions: no more of them run at once than its share,
// the rest wait, and the work of another disk runs at once beside them, however much of the
// stopped disk's waits; the stopped disk's work runs, each piece once, when it answers again.
TEST(StallTolerantExecutor, AStoppedDiskHoldsItsShareAndNoOtherDisksWork) {
    constexpr std::size_t kPerDisk = 3;
    constexpr int kStuck = 50;
    constexpr DiskId kStopped = 7, kAnswering = 8;
    auto stopped = std::make_shared<Board>();
    auto answering = std::make_shared<Board>();
    auto runs = std::make_shared<std::array<std::atomic<int>, kStuck>>();
    StallTolerantExecutor executor({.workers = 2, .stallAfter = 0.01, .maxThreads = 16, .maxPerDisk = kPerDisk});
    for (int piece = 0; piece < kStuck; ++piece)
        executor.runOnDisk(TaskPriority::userInitiated, kStopped, [stopped, runs, piece] {
            stopped->start();
            stopped->hold();
            ++(*runs)[piece];
            stopped->finish();
        });
    const bool tookItsShare = stopped->startedWithin(int(kPerDisk), 20s);
    for (int round = 0; round < 20; ++round) {
        executor.runOnDisk(TaskPriority::userInitiated, kAnswering, [answering] { answering->finish(); });
        executor.run(TaskPriority::userInitiated, [answering] { answering->finish(); });
    }
    const bool othersRan = answering->waitFor(40);
    const bool wentPast = stopped->startedWithin(int(kPerDisk) + 1, 300ms);
    stopped->letGo();
    EXPECT_TRUE(tookItsShare);
    EXPECT_TRUE(othersRan) << "the work of another disk waited behind the stopped one";
    EXPECT_FALSE(wentPast) << "more of the stopped disk's work ran at once than its share";
    ASSERT_TRUE(stopped->waitFor(kStuck)) << "the stopped disk's work ran once it answered";
    for (int piece = 0; piece < kStuck; ++piece) EXPECT_EQ((*runs)[piece].load(), 1) << piece;
}

// More disks stopped than the threads allow: each holds its share up to the bound, and a disk no
// thread serves still gets one, so that a disk that answers never waits behind them; the threads
// stay within the bound and one for each disk.
TEST(StallTolerantExecutor, ADiskThatAnswersGetsAThreadHoweverManyDisksStopped) {
    constexpr std::size_t kBound = 4, kPerDisk = 2;
    constexpr int kStoppedDisks = 6;
    auto stopped = std::make_shared<Board>();
    auto answering = std::make_shared<Board>();
    StallTolerantExecutor executor({.workers = 1, .stallAfter = 0.01, .maxThreads = kBound, .maxPerDisk = kPerDisk});
    for (DiskId disk = 0; disk < kStoppedDisks; ++disk)
        for (int piece = 0; piece < 5; ++piece)
            executor.runOnDisk(TaskPriority::userInitiated, disk, [stopped] {
                stopped->start();
                stopped->hold();
                stopped->finish();
            });
    // Every stopped disk got its turn: one thread each, past the bound for those the bound left out.
    const bool eachStarted = stopped->startedWithin(kStoppedDisks, 20s);
    executor.runOnDisk(TaskPriority::userInitiated, 100, [answering] { answering->finish(); });
    const bool answered = answering->waitFor(1);
    const std::size_t threads = executor.threadCount();
    stopped->letGo();
    EXPECT_TRUE(eachStarted);
    EXPECT_TRUE(answered) << "a disk that answers waited behind the stopped ones";
    EXPECT_LE(threads, kBound + kStoppedDisks + 1);
    EXPECT_TRUE(stopped->waitFor(kStoppedDisks * 5));
}

// The system refuses threads for a while: nothing runs and nothing is lost meanwhile, and once it
// gives threads again the work runs, each piece once, without more work coming to wake it.
TEST(StallTolerantExecutor, WorkWaitsForAThreadTheSystemRefusedAndRunsOnceItGivesOne) {
    auto board = std::make_shared<Board>();
    auto refusing = std::make_shared<std::atomic<bool>>(true);
    auto refused = std::make_shared<std::atomic<int>>(0);
    StallTolerantExecutor executor({.workers = 2,
                                    .stallAfter = 0.01,
                                    .maxThreads = 2,
                                    .maxPerDisk = 2,
                                    .startThread = [refusing, refused](std::function<void()> body) {
                                        if (*refusing) {
                                            ++*refused;
                                            return false;
                                        }
                                        return StallTolerantExecutor::startSystemThread(std::move(body));
                                    }});
    for (int piece = 0; piece < 10; ++piece)
        executor.runOnDisk(TaskPriority::userInitiated, 1, [board] { board->finish(); });
    // The supervisor tries again and again, each time refused.
    for (int look = 0; look < 2000 && *refused < 5; ++look) std::this_thread::sleep_for(1ms);
    EXPECT_GE(refused->load(), 5) << "a refused thread was not tried again";
    EXPECT_EQ(board->finished(), 0);
    EXPECT_EQ(executor.threadCount(), 0u) << "a thread refused is not counted";
    *refusing = false;
    ASSERT_TRUE(board->waitFor(10)) << "the work waited for ever once threads were given again";
    EXPECT_EQ(board->finished(), 10);
}

// Gone, the executor drops what did not start; a stalled piece of work ends in its own time.
TEST(StallTolerantExecutor, GoneItDropsWhatDidNotStart) {
    auto board = std::make_shared<Board>();
    auto queued = std::make_shared<int>(0);
    const std::weak_ptr<int> dropped = queued;
    {
        StallTolerantExecutor executor({.workers = 1, .stallAfter = 10.0});
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
