#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace sorvin {

// The main thread's queue: background work posts its results through it, and the application
// state's timers run on it. The UI implements it on Qt's event loop; tests drive a manual queue
// with a virtual clock, so nothing ever waits on real time.
class MainQueue {
public:
    using Task = std::function<void()>;

    // A delayed task that can still be called off. Cancelling after it ran, or twice, is harmless.
    class Timer {
    public:
        Timer() = default;
        void cancel() {
            if (cancelled_) cancelled_->store(true);
        }

    private:
        friend class MainQueue;
        std::shared_ptr<std::atomic<bool>> cancelled_;
    };

    virtual ~MainQueue() = default;

    // Runs the task on the main thread after what was posted before it. Any thread.
    virtual void post(Task task) = 0;
    // Seconds on a monotonic clock.
    virtual double now() const = 0;

    // Runs the task on the main thread once the delay (seconds) has passed, unless the timer is
    // cancelled first.
    Timer postAfter(double seconds, Task task) {
        Timer timer;
        timer.cancelled_ = std::make_shared<std::atomic<bool>>(false);
        schedule(seconds, [cancelled = timer.cancelled_, task = std::move(task)] {
            if (!cancelled->load()) task();
        });
        return timer;
    }

protected:
    // Runs the task on the main thread after the delay.
    virtual void schedule(double seconds, Task task) = 0;
};

} // namespace sorvin
