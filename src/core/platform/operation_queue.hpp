#pragma once

#include "platform/background_executor.hpp"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace sorvin {

// One piece of work for an OperationQueue. Cancellation is cooperative: cancel() only raises a
// flag; work not started yet never starts, and running work asks its probe between steps. An
// exception that escapes the work ends it quietly and frees its slot.
class Operation {
public:
    // Answers true once the operation was cancelled (or no longer exists). Safe to call from any
    // thread, any number of times at once.
    using Probe = std::function<bool()>;
    using Body = std::function<void(const Probe& isCancelled)>;

    static std::shared_ptr<Operation> make(Body body);

    // Any thread. Cancelling a finished operation, or twice, is harmless.
    void cancel() { state_->cancelled.store(true, std::memory_order_release); }
    bool isCancelled() const { return state_->cancelled.load(std::memory_order_acquire); }
    bool isFinished() const { return state_->finished.load(std::memory_order_acquire); }

    // A probe that does not keep the operation alive.
    Probe cancellationProbe() const;

    explicit Operation(Body body);
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    friend class OperationQueue;
    struct State {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
    };
    void run();

    Body body_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Runs operations on the background executor in the order they were added, at most a fixed
// number at once. Operations do not depend on each other. The queue may be destroyed while its
// work runs: it then cancels everything, and running work finishes on its own.
class OperationQueue {
public:
    OperationQueue(BackgroundExecutor& executor, std::string name, int maxConcurrentOperationCount,
                   TaskPriority priority = TaskPriority::userInitiated);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    const std::string& name() const { return name_; }
    int maxConcurrentOperationCount() const;

    // Any thread.
    void addOperation(std::shared_ptr<Operation> operation);
    // Cancels the waiting and the running operations; the waiting ones are dropped at once.
    void cancelAllOperations();
    // Operations added and not yet finished, cancelled ones still waiting included.
    std::size_t operationCount() const;

private:
    struct Shared;
    std::string name_;
    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin
