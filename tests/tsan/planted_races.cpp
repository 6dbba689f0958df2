// Races planted on purpose, one of each kind ThreadSanitizer must report through its suppressions
// (tests/tsan/tsan.supp): the test of each passes only when the sanitizer reports its race.
//
//   sorvin_planted_races task-against-main-thread   a background task of the program's own
//                                                   executor against the main thread
//   sorvin_planted_races timer-against-thread       a timer of the Qt main queue against a thread
//   sorvin_planted_races parts-of-parallel-loop     two parts of one parallel loop
#include "platform/background_executor.hpp"
#include "platform/operation_queue.hpp"
#include "platform/parallel_for.hpp"
#include "ui/platform/qt_main_queue.hpp"

#include <QCoreApplication>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>
#include <thread>

namespace {

// Volatile, so that the compiler keeps every write of a value nobody reads but the report.
volatile int planted = 0;

// Out of line, so that the report names them.
[[gnu::noinline]] void plantedWriteOnTask() {
    planted = 1;
}
[[gnu::noinline]] void plantedWriteOnMainThread() {
    planted = 2;
}
[[gnu::noinline]] void plantedWriteOnTimer() {
    planted = 3;
}
[[gnu::noinline]] void plantedWriteOnThread() {
    planted = 4;
}
[[gnu::noinline]] void plantedWriteOnPart(int part) {
    planted = 5 + part;
}

// The main thread writes after handing the task over, and the task writes once it sees that
// through a relaxed flag, which orders the writes in time but not for the sanitizer; the main
// thread then waits for the task's end, after both writes.
void taskAgainstMainThread() {
    sorvin::ThreadPoolExecutor executor;
    sorvin::OperationQueue queue(executor, "planted", 1);
    std::atomic<bool> written{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    queue.addOperation(sorvin::Operation::make([&](const sorvin::Operation::Probe&) {
        while (!written.load(std::memory_order_relaxed))
            std::this_thread::yield();
        plantedWriteOnTask();
        const std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    }));
    plantedWriteOnMainThread();
    written.store(true, std::memory_order_relaxed);
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return done; });
}

// A thread writes while the main queue's timer writes on the event loop; the thread is joined
// only after the loop ends.
void timerAgainstThread(QCoreApplication& application) {
    sorvin::QtMainQueue queue;
    std::thread thread(plantedWriteOnThread);
    queue.postAfter(0.0, [&] {
        plantedWriteOnTimer();
        application.quit();
    });
    application.exec();
    thread.join();
}

// Two parts of a loop write the same variable, each once the other has started (so on two
// threads), and each leaves only once the other has written. What orders the parts after their
// caller (the handoff of its work) must not order them with each other. The sanitizer misses a race
// now and then (about one run in five here, whichever part writes first), so the parts race a few
// rounds. The loop runs in an arena of two threads, even on one core.
void partsOfParallelLoop() {
    constexpr int kRounds = 8;
    const tbb::global_control threads(tbb::global_control::max_allowed_parallelism, 2);
    tbb::task_arena arena(2);
    std::array<std::atomic<int>, 2 * kRounds> arrivals{};
    const auto meet = [](std::atomic<int>& arrived) {
        arrived.fetch_add(1, std::memory_order_relaxed);
        while (arrived.load(std::memory_order_relaxed) < 2)
            std::this_thread::yield();
    };
    arena.execute([&] {
        sorvin::parallelFor(
            tbb::blocked_range<int>(0, 2, 1),
            [&](const tbb::blocked_range<int>& parts) {
                for (int part = parts.begin(); part != parts.end(); ++part) {
                    for (int round = 0; round < kRounds; ++round) {
                        meet(arrivals[2 * round]);
                        plantedWriteOnPart(part);
                        meet(arrivals[2 * round + 1]);
                    }
                }
            },
            tbb::simple_partitioner());
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::string_view kind = argc > 1 ? argv[1] : "";
    if (kind == "task-against-main-thread")
        taskAgainstMainThread();
    else if (kind == "timer-against-thread")
        timerAgainstThread(application);
    else if (kind == "parts-of-parallel-loop")
        partsOfParallelLoop();
    else {
        std::fprintf(stderr, "usage: sorvin_planted_races "
                             "task-against-main-thread|timer-against-thread|parts-of-parallel-loop\n");
        return 2;
    }
    std::printf("the planted race ran (last write %d); a report of it must precede this line\n", planted);
    return 0;
}
