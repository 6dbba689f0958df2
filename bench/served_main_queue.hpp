#pragma once

#include "platform/main_queue.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace sorvin::bench {

// The benchmark thread plays the main thread: it runs what background work posts, timers at once.
class ServedMainQueue final : public MainQueue {
public:
    void post(Task task) override {
        {
            std::lock_guard guard(lock_);
            tasks_.push_back(std::move(task));
        }
        ready_.notify_one();
    }
    double now() const override { return 0; }

    // Runs posted tasks until the condition holds.
    template <typename Done>
    void serveUntil(Done done) {
        while (!done()) {
            Task task;
            {
                std::unique_lock guard(lock_);
                ready_.wait(guard, [&] { return !tasks_.empty(); });
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

protected:
    void schedule(double, Task task) override { post(std::move(task)); }

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<Task> tasks_;
};

} // namespace sorvin::bench
