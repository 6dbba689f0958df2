#pragma once

#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace sorvin::test {

// A main queue whose clock moves only when the test says so. Posted tasks run in order on
// runPending(); delayed ones once advance() has moved the clock past them. Any thread may post, as
// a worker of the program does; the rest belongs to the test's thread.
class ManualMainQueue final : public MainQueue {
public:
    void post(Task task) override {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }
    double now() const override { return now_; }

    // Runs everything posted so far, and what those tasks post in turn.
    void runPending() {
        for (;;) {
            Task task;
            {
                const std::lock_guard lock(mutex_);
                if (posted_.empty()) return;
                task = std::move(posted_.front());
                posted_.pop_front();
            }
            task();
        }
    }

    // Moves the clock forward, running the delayed tasks that fall due in time order, and the
    // posted tasks as they come.
    void advance(double seconds) {
        const double target = now_ + seconds;
        runPending();
        for (;;) {
            auto next = std::min_element(timers_.begin(), timers_.end(),
                                         [](const auto& a, const auto& b) { return a.due < b.due; });
            if (next == timers_.end() || next->due > target) break;
            now_ = std::max(now_, next->due);
            Task task = std::move(next->task);
            timers_.erase(next);
            task();
            runPending();
        }
        now_ = target;
    }

    std::size_t pendingCount() const {
        const std::lock_guard lock(mutex_);
        return posted_.size();
    }

protected:
    void schedule(double seconds, Task task) override {
        timers_.push_back({now_ + seconds, std::move(task)});
    }

private:
    struct Delayed {
        double due;
        Task task;
    };
    double now_ = 0;
    mutable std::mutex mutex_;
    std::deque<Task> posted_;
    std::vector<Delayed> timers_;
};

// Background work that waits until the test runs it, in any order the test chooses.
class ManualExecutor final : public BackgroundExecutor {
public:
    struct Job {
        TaskPriority priority;
        std::function<void()> task;
    };

    void run(TaskPriority priority, std::function<void()> task) override {
        jobs_.push_back({priority, std::move(task)});
        ++started_;
    }

    std::size_t waiting() const { return jobs_.size(); }
    // How many jobs were ever handed over.
    std::size_t started() const { return started_; }
    const Job& job(std::size_t index) const { return jobs_.at(index); }

    void runAt(std::size_t index) { take(index).task(); }
    // The job, no longer waiting here: the test runs it where it likes (on a thread of its own).
    Job take(std::size_t index) {
        Job job = std::move(jobs_.at(index));
        jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(index));
        return job;
    }
    void runAll() {
        while (!jobs_.empty())
            runAt(0);
    }

private:
    std::vector<Job> jobs_;
    std::size_t started_ = 0;
};

} // namespace sorvin::test
