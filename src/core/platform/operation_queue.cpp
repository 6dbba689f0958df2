#include "platform/operation_queue.hpp"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace sorvin {

std::shared_ptr<Operation> Operation::make(Body body) {
    return std::make_shared<Operation>(std::move(body));
}

Operation::Operation(Body body) : body_(std::move(body)) {}

Operation::Probe Operation::cancellationProbe() const {
    return [weakState = std::weak_ptr<const State>(state_)] {
        const auto state = weakState.lock();
        return !state || state->cancelled.load(std::memory_order_acquire);
    };
}

void Operation::run() {
    try {
        if (!isCancelled() && body_) body_(cancellationProbe());
    } catch (...) {
        // Work must not take its slot, or the executor's thread, down with it.
    }
    // The body's captures (images, caches) go now, not when the last handle of the operation does.
    body_ = nullptr;
    state_->finished.store(true, std::memory_order_release);
}

// Outlives the queue while work it started is still running.
struct OperationQueue::Shared {
    BackgroundExecutor& executor;
    const int width;
    const TaskPriority priority;
    mutable std::mutex lock;
    std::deque<std::shared_ptr<Operation>> waiting;
    std::vector<std::shared_ptr<Operation>> running;

    Shared(BackgroundExecutor& executor, int width, TaskPriority priority)
        : executor(executor), width(width), priority(priority) {}

    // Hands waiting work to the executor while slots are free. Called without the lock held.
    static void pump(const std::shared_ptr<Shared>& shared) {
        std::vector<std::shared_ptr<Operation>> starting;
        {
            std::lock_guard guard(shared->lock);
            while (!shared->waiting.empty() && static_cast<int>(shared->running.size()) < shared->width) {
                std::shared_ptr<Operation> next = std::move(shared->waiting.front());
                shared->waiting.pop_front();
                if (next->isCancelled()) {
                    next->state_->finished.store(true, std::memory_order_release);
                    continue;
                }
                shared->running.push_back(next);
                starting.push_back(std::move(next));
            }
        }
        for (auto& operation : starting) {
            shared->executor.run(shared->priority, [shared, operation] {
                operation->run();
                {
                    std::lock_guard guard(shared->lock);
                    std::erase(shared->running, operation);
                }
                pump(shared);
            });
        }
    }
};

OperationQueue::OperationQueue(BackgroundExecutor& executor, std::string name,
                               int maxConcurrentOperationCount, TaskPriority priority)
    : name_(std::move(name)),
      shared_(std::make_shared<Shared>(executor, std::max(1, maxConcurrentOperationCount), priority)) {}

OperationQueue::~OperationQueue() {
    cancelAllOperations();
}

int OperationQueue::maxConcurrentOperationCount() const {
    return shared_->width;
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) return;
    {
        std::lock_guard guard(shared_->lock);
        shared_->waiting.push_back(std::move(operation));
    }
    Shared::pump(shared_);
}

void OperationQueue::cancelAllOperations() {
    std::deque<std::shared_ptr<Operation>> dropped;
    {
        std::lock_guard guard(shared_->lock);
        dropped.swap(shared_->waiting);
        for (const auto& operation : shared_->running)
            operation->cancel();
    }
    for (const auto& operation : dropped) {
        operation->cancel();
        operation->state_->finished.store(true, std::memory_order_release);
    }
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard guard(shared_->lock);
    return shared_->waiting.size() + shared_->running.size();
}

} // namespace sorvin
