#pragma once

#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <atomic>
#include <memory>
#include <utility>

namespace sorvin::test {

// How many pieces of work were handed over and how many have run, so that a test waits until all
// of them have, rather than for a time.
struct WorkCount {
    std::atomic<long> handed{0};
    std::atomic<long> done{0};
    bool idle() const { return handed.load() == done.load(); }
};

// A main queue that counts its tasks and timers (a timer counts once it fell due, called off or
// not) and passes them on to another.
class CountedMainQueue final : public MainQueue {
public:
    explicit CountedMainQueue(MainQueue& queue) : queue_(queue) {}
    void post(Task task) override {
        ++count_->handed;
        queue_.post([count = count_, task = std::move(task)] {
            task();
            ++count->done;
        });
    }
    double now() const override { return queue_.now(); }
    bool idle() const { return count_->idle(); }

protected:
    void schedule(double seconds, Task task) override {
        ++count_->handed;
        (void)queue_.postAfter(seconds, [count = count_, task = std::move(task)] {
            task();
            ++count->done;
        });
    }

private:
    MainQueue& queue_;
    std::shared_ptr<WorkCount> count_ = std::make_shared<WorkCount>();
};

// An executor that counts the work it passes on to another, done once it returned.
class CountedExecutor final : public BackgroundExecutor {
public:
    explicit CountedExecutor(BackgroundExecutor& executor) : executor_(executor) {}
    void run(TaskPriority priority, std::function<void()> task) override {
        runOnDisk(priority, kAnyDisk, std::move(task));
    }
    void runOnDisk(TaskPriority priority, DiskId disk, std::function<void()> task) override {
        ++count_->handed;
        executor_.runOnDisk(priority, disk, [count = count_, task = std::move(task)] {
            task();
            ++count->done;
        });
    }
    bool idle() const { return count_->idle(); }

private:
    BackgroundExecutor& executor_;
    std::shared_ptr<WorkCount> count_ = std::make_shared<WorkCount>();
};

} // namespace sorvin::test
