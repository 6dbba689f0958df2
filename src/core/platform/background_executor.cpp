#include "platform/background_executor.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <tbb/info.h>
#include <tbb/task_arena.h>
#include <tbb/task_scheduler_observer.h>
#include <unistd.h>

namespace sorvin {

namespace {

// No slot is kept for the calling thread: enqueued work is the workers' alone, so it runs even
// where the machine has a single core. oneTBB has one worker fewer than the machine has cores and
// warns when an arena asks for more.
int workerCount() {
    return std::max(1, tbb::info::default_concurrency() - 1);
}

// The workers run below the main thread's priority: a step the user waits for on the main thread
// takes a processor from them at once instead of waiting for their turn to end. A lower priority
// alone does not do it: the scheduler still lets a worker finish its turn, and the main thread
// woke to wait 10 to 13 ms for a processor while seven workers decoded. Marked as batch work, the
// workers keep their share of the machine but no longer hold the processor against the main
// thread. The threads never ask their priority back, and threads they start (LibRaw's) inherit it.
class BackgroundPriority final : public tbb::task_scheduler_observer {
public:
    static constexpr int niceness = 10;
    explicit BackgroundPriority(tbb::task_arena& arena) : tbb::task_scheduler_observer(arena) {
        observe(true);
    }
    ~BackgroundPriority() override { observe(false); }
    void on_scheduler_entry(bool isWorker) override {
        if (!isWorker) return;
        const sched_param parameters{};
        ::sched_setscheduler(0, SCHED_BATCH, &parameters);
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), niceness);
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

    static ProgramArenas& shared() {
        static ProgramArenas* arenas = new ProgramArenas();
        return *arenas;
    }
};

} // namespace

struct ThreadPoolExecutor::Arenas {
    tbb::task_arena& userInitiated = ProgramArenas::shared().userInitiated;
    tbb::task_arena& utility = ProgramArenas::shared().utility;
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

void ThreadPoolExecutor::run(TaskPriority priority, std::function<void()> task) {
    Arenas& arenas = *arenas_;
    {
        const std::lock_guard lock(arenas.mutex);
        ++arenas.pending;
    }
    auto& arena = priority == TaskPriority::utility ? arenas.utility : arenas.userInitiated;
    arena.enqueue([&arenas, task = std::move(task)] {
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
