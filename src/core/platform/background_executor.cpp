#include "platform/background_executor.hpp"

#include "platform/thread_priority.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <tbb/info.h>
#include <tbb/task_arena.h>
#include <tbb/task_scheduler_observer.h>

namespace sorvin {

namespace {

// No slot is kept for the calling thread: enqueued work is the workers' alone, so it runs even
// where the machine has a single core. oneTBB has one worker fewer than the machine has cores and
// warns when an arena asks for more.
int workerCount() {
    return std::max(1, tbb::info::default_concurrency() - 1);
}

// The workers run below the main thread (see runBelowMainThread).
class BackgroundPriority final : public tbb::task_scheduler_observer {
public:
    explicit BackgroundPriority(tbb::task_arena& arena) : tbb::task_scheduler_observer(arena) {
        observe(true);
    }
    ~BackgroundPriority() override { observe(false); }
    void on_scheduler_entry(bool isWorker) override {
        if (isWorker) runBelowMainThread();
    }
};

// The arenas with their observers, one pair for the whole program and never taken down: an
// observer switched off while a worker is still leaving its arena can lose oneTBB's record of it
// (the sanitizer saw it leak when a program was started twice in one process).
struct ProgramArenas {
    tbb::task_arena userInitiated{workerCount(), 0, tbb::task_arena::priority::normal};
    tbb::task_arena utility{workerCount(), 0, tbb::task_arena::priority::low};
    BackgroundPriority userInitiatedPriority{userInitiated};
    BackgroundPriority utilityPriority{utility};
    // The work handed to each arena, taken in turn by the tasks enqueued there, which carry
    // nothing themselves: a task finds its work through this lock, which the thread sanitizer
    // sees, rather than through oneTBB's queue, which it cannot.
    std::mutex mutex;
    std::deque<std::function<void()>> userInitiatedWork;
    std::deque<std::function<void()>> utilityWork;

    static ProgramArenas& shared() {
        static ProgramArenas* arenas = new ProgramArenas();
        return *arenas;
    }

    void hand(TaskPriority priority, std::function<void()> work) {
        {
            const std::lock_guard lock(mutex);
            (priority == TaskPriority::utility ? utilityWork : userInitiatedWork).push_back(std::move(work));
        }
        if (priority == TaskPriority::utility)
            utility.enqueue([] { shared().runNext(TaskPriority::utility); });
        else
            userInitiated.enqueue([] { shared().runNext(TaskPriority::userInitiated); });
    }

    void runNext(TaskPriority priority) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex);
            auto& waiting = priority == TaskPriority::utility ? utilityWork : userInitiatedWork;
            work = std::move(waiting.front());
            waiting.pop_front();
        }
        work();
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
