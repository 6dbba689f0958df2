#include "platform/background_executor.hpp"

#include "platform/thread_priority.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <pthread.h>
#include <system_error>
#include <tbb/info.h>
#include <tbb/task_arena.h>
#include <tbb/task_scheduler_observer.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace sorvin {

namespace {

// How long handed work may wait, while fewer workers use the processor than the arena has, before
// a helper thread takes it; how often that is looked at; how long a helper that ran out of work
// stays for more (the steps of one task come one after the other: a folder's scan, then its
// record); and the share of a look's time a thread must have used the processor for to count as
// working.
constexpr auto kLongestWait = std::chrono::milliseconds(300);
constexpr auto kLookEvery = std::chrono::milliseconds(150);
constexpr auto kHelperStays = std::chrono::seconds(2);
constexpr double kWorkingShare = 0.1;
constexpr std::size_t kMostHelpers = 64;

// A thread that runs the work of one priority, with its processor time as last looked at: another
// thread can read that time for as long as the thread is known here.
struct WatchedThread {
    clockid_t clock{};
    double processorSeconds = 0;
    std::chrono::steady_clock::time_point lookedAt;
    bool working = true;

    static WatchedThread ofCallingThread() {
        WatchedThread thread;
        ::pthread_getcpuclockid(::pthread_self(), &thread.clock);
        thread.processorSeconds = thread.processorTime();
        thread.lookedAt = std::chrono::steady_clock::now();
        return thread;
    }
    double processorTime() const {
        timespec time{};
        if (::clock_gettime(clock, &time) != 0) return processorSeconds;
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
    }
    // A thread that barely used the processor since the last look waits: for a disk, a lock, or
    // work it gave to others. One known for less than half a look has not been seen long enough.
    void look(std::chrono::steady_clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - lookedAt).count();
        if (seconds < std::chrono::duration<double>(kLookEvery).count() / 2) return;
        const double used = processorTime();
        working = used - processorSeconds >= kWorkingShare * seconds;
        processorSeconds = used;
        lookedAt = now;
    }
};

// The work of one priority: its arena, the work handed to it and not yet started, and the threads
// running it now.
struct Line {
    struct Waiting {
        std::function<void()> work;
        std::chrono::steady_clock::time_point since;
    };
    explicit Line(tbb::task_arena::priority priority)
        : arena(ThreadPoolExecutor::workerCount(), 0, priority) {}
    tbb::task_arena arena;
    std::deque<Waiting> waiting;
    std::map<pid_t, WatchedThread> present;
    std::size_t helpers = 0;
    std::condition_variable workForHelpers;
};

// Keeps the threads of a line known while they are in its arena, and runs the workers below the
// main thread (see runBelowMainThread).
class LineObserver final : public tbb::task_scheduler_observer {
public:
    LineObserver(Line& line, std::mutex& mutex)
        : tbb::task_scheduler_observer(line.arena), line_(line), mutex_(mutex) {
        observe(true);
    }
    ~LineObserver() override { observe(false); }
    void on_scheduler_entry(bool isWorker) override {
        if (isWorker) runBelowMainThread();
        const std::lock_guard lock(mutex_);
        line_.present[::gettid()] = WatchedThread::ofCallingThread();
    }
    void on_scheduler_exit(bool) override {
        const std::lock_guard lock(mutex_);
        line_.present.erase(::gettid());
    }

private:
    Line& line_;
    std::mutex& mutex_;
};

// The arenas with their observers, one pair for the whole program and never taken down: an
// observer switched off while a worker is still leaving its arena can lose oneTBB's record of it
// (the sanitizer saw it leak when a program was started twice in one process).
//
// An arena has as many workers as the machine has cores but one (a single one on two cores), and a
// worker waiting on a disk that stopped answering holds its place: work handed after it would wait
// for that disk, whatever disk it asks. So a watching thread looks at the workers while work waits:
// once work has waited a while and fewer threads of its line use the processor than the arena has
// places, a helper thread takes the waiting work, one after the other, until none has come for a
// while. Work that keeps the workers' processors busy is never joined by helpers; work that waits
// on a disk holds its own thread, never the work behind it.
struct ProgramArenas {
    std::mutex mutex;
    std::condition_variable workCame; // the watcher waits on it only while no work waits
    Line userInitiated{tbb::task_arena::priority::normal};
    Line utility{tbb::task_arena::priority::low};
    LineObserver userInitiatedObserver{userInitiated, mutex};
    LineObserver utilityObserver{utility, mutex};

    static ProgramArenas& shared() {
        static ProgramArenas* arenas = [] {
            auto* made = new ProgramArenas();
            try {
                std::thread([made] { made->watch(); }).detach();
            } catch (const std::system_error&) {
                // No thread to spare at the start: the workers alone run the work, as they can.
            }
            return made;
        }();
        return *arenas;
    }

    Line& lineOf(TaskPriority priority) {
        return priority == TaskPriority::utility ? utility : userInitiated;
    }

    // The work handed to each line is taken in turn by the tasks enqueued in its arena, which carry
    // nothing themselves: a task finds its work through this lock, which the thread sanitizer sees,
    // rather than through oneTBB's queue, which it cannot. A task whose work a helper took does
    // nothing.
    void hand(TaskPriority priority, std::function<void()> work) {
        Line& line = lineOf(priority);
        bool helped = false;
        {
            const std::lock_guard lock(mutex);
            line.waiting.push_back({std::move(work), std::chrono::steady_clock::now()});
            helped = line.helpers > 0;
        }
        workCame.notify_one();
        if (helped) line.workForHelpers.notify_one();
        line.arena.enqueue([&line] { shared().runNext(line); });
    }

    void runNext(Line& line) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex);
            if (line.waiting.empty()) return;
            work = std::move(line.waiting.front().work);
            line.waiting.pop_front();
        }
        work();
    }

    [[noreturn]] void watch() {
        std::unique_lock lock(mutex);
        for (;;) {
            workCame.wait(lock,
                          [this] { return !userInitiated.waiting.empty() || !utility.waiting.empty(); });
            lock.unlock();
            std::this_thread::sleep_for(kLookEvery);
            lock.lock();
            const auto now = std::chrono::steady_clock::now();
            for (Line* line : {&userInitiated, &utility})
                look(*line, now);
        }
    }

    void look(Line& line, std::chrono::steady_clock::time_point now) {
        std::size_t working = 0;
        for (auto& [thread, watched] : line.present) {
            watched.look(now);
            working += watched.working ? 1 : 0;
        }
        if (line.waiting.empty() || now - line.waiting.front().since < kLongestWait) return;
        if (working >= static_cast<std::size_t>(ThreadPoolExecutor::workerCount()) ||
            line.helpers >= kMostHelpers)
            return;
        ++line.helpers;
        try {
            std::thread([this, &line] { help(line); }).detach();
        } catch (const std::system_error&) {
            --line.helpers; // the system has no thread for now: tried again at the next look
        }
    }

    void help(Line& line) {
        runBelowMainThread();
        std::unique_lock lock(mutex);
        const pid_t self = ::gettid();
        line.present[self] = WatchedThread::ofCallingThread();
        while (line.workForHelpers.wait_for(lock, kHelperStays, [&line] { return !line.waiting.empty(); })) {
            std::function<void()> work = std::move(line.waiting.front().work);
            line.waiting.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
        line.present.erase(self);
        --line.helpers;
    }
};

} // namespace

struct ThreadPoolExecutor::Arenas {
    // An arena does not wait for its enqueued work; the executor counts its own.
    std::mutex mutex;
    std::condition_variable idle;
    std::size_t pending = 0;
};

ThreadPoolExecutor::ThreadPoolExecutor() : arenas_(std::make_unique<Arenas>()) {}

// No slot is kept for the calling thread: enqueued work is the workers' alone, so it runs even
// where the machine has a single core. oneTBB has one worker fewer than the machine has cores and
// warns when an arena asks for more.
int ThreadPoolExecutor::workerCount() {
    return std::max(1, tbb::info::default_concurrency() - 1);
}

ThreadPoolExecutor::~ThreadPoolExecutor() {
    std::unique_lock lock(arenas_->mutex);
    arenas_->idle.wait(lock, [this] { return arenas_->pending == 0; });
}

bool ThreadPoolExecutor::waitUntilIdle(double seconds) {
    std::unique_lock lock(arenas_->mutex);
    return arenas_->idle.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return arenas_->pending == 0; });
}

void ThreadPoolExecutor::run(TaskPriority priority, std::function<void()> task) {
    Arenas& arenas = *arenas_;
    {
        const std::lock_guard lock(arenas.mutex);
        ++arenas.pending;
    }
    ProgramArenas::shared().hand(priority, [&arenas, task = std::move(task)] {
        struct Done {
            Arenas& arenas;
            ~Done() {
                const std::lock_guard lock(arenas.mutex);
                if (--arenas.pending == 0) arenas.idle.notify_all();
            }
        } done{arenas};
        task();
    });
}

} // namespace sorvin
