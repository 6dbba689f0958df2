// Races planted on purpose, one of each kind ThreadSanitizer must report through its suppressions
// (tests/tsan/tsan.supp): the test of each passes only when the sanitizer reports its race.
//
//   sorvin_planted_races task-against-main-thread   a background task of the program's own
//                                                   executor against the main thread
//   sorvin_planted_races timer-against-thread       a timer of the Qt main queue against a thread
#include "platform/background_executor.hpp"
#include "platform/operation_queue.hpp"
#include "ui/platform/qt_main_queue.hpp"

#include <QCoreApplication>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

// Volatile, so that the compiler keeps every write of a value nobody reads but the report.
volatile int planted = 0;

// Out of line, so that the report names them.
[[gnu::noinline]] void plantedWriteOnTask() { planted = 1; }
[[gnu::noinline]] void plantedWriteOnMainThread() { planted = 2; }
[[gnu::noinline]] void plantedWriteOnTimer() { planted = 3; }
[[gnu::noinline]] void plantedWriteOnThread() { planted = 4; }

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
        while (!written.load(std::memory_order_relaxed)) std::this_thread::yield();
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::string_view kind = argc > 1 ? argv[1] : "";
    if (kind == "task-against-main-thread")
        taskAgainstMainThread();
    else if (kind == "timer-against-thread")
        timerAgainstThread(application);
    else {
        std::fprintf(stderr, "usage: sorvin_planted_races task-against-main-thread|timer-against-thread\n");
        return 2;
    }
    std::printf("the planted race ran (last write %d); a report of it must precede this line\n", planted);
    return 0;
}
