#include "platform/thread_per_task_executor.hpp"

#include "platform/thread_priority.hpp"

#include <system_error>
#include <utility>

namespace sorvin {

ThreadPerTaskExecutor::~ThreadPerTaskExecutor() {
    std::list<Worker> workers;
    {
        const std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (Worker& worker : workers) worker.thread.join();
    // Only where no thread could ever be started: the work still runs, here at the end.
    for (auto& task : unstarted_) task();
}

void ThreadPerTaskExecutor::run(TaskPriority, std::function<void()> task) {
    joinEnded();
    const std::lock_guard lock(mutex_);
    const auto me = workers_.emplace(workers_.end());
    try {
        me->thread = std::thread([this, me, task = std::move(task)]() mutable { work(me, std::move(task)); });
    } catch (const std::system_error&) {
        workers_.erase(me);
        unstarted_.push_back(std::move(task));
    }
}

void ThreadPerTaskExecutor::work(std::list<Worker>::iterator me, std::function<void()> task) {
    runBelowMainThread();
    for (;;) {
        task();
        task = nullptr;
        const std::lock_guard lock(mutex_);
        if (unstarted_.empty()) {
            me->ended = true;
            return;
        }
        task = std::move(unstarted_.front());
        unstarted_.pop_front();
    }
}

// Threads that ended are joined as new work comes, so that they do not pile up.
void ThreadPerTaskExecutor::joinEnded() {
    std::list<Worker> ended;
    {
        const std::lock_guard lock(mutex_);
        for (auto worker = workers_.begin(); worker != workers_.end();) {
            const auto next = std::next(worker);
            if (worker->ended) ended.splice(ended.end(), workers_, worker);
            worker = next;
        }
    }
    for (Worker& worker : ended) worker.thread.join();
}

} // namespace sorvin
