#include "platform/background_executor.hpp"

#include <tbb/task_arena.h>

namespace sorvin {

// No slot is kept for the calling thread: enqueued work is the workers' alone, so it runs even
// where the machine has a single core.
struct ThreadPoolExecutor::Arenas {
    tbb::task_arena userInitiated{tbb::task_arena::automatic, 0, tbb::task_arena::priority::normal};
    tbb::task_arena utility{tbb::task_arena::automatic, 0, tbb::task_arena::priority::low};
};

ThreadPoolExecutor::ThreadPoolExecutor() : arenas_(std::make_unique<Arenas>()) {}

ThreadPoolExecutor::~ThreadPoolExecutor() = default;

void ThreadPoolExecutor::run(TaskPriority priority, std::function<void()> task) {
    auto& arena = priority == TaskPriority::utility ? arenas_->utility : arenas_->userInitiated;
    arena.enqueue(std::move(task));
}

} // namespace sorvin
