#pragma once

#include "platform/main_queue.hpp"

#include <QObject>
#include <chrono>
#include <deque>
#include <mutex>

namespace sorvin {

// The main queue on Qt's event loop: posts are queued invocations on an object of the main thread,
// delayed tasks are single-shot timers. Build it on the main thread and keep it alive as long as
// anything may post to it.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    void post(Task task) override;
    double now() const override;

protected:
    void schedule(double seconds, Task task) override;

private:
    // Each posted task waits here and is taken by an event posted after it that carries nothing,
    // so that a task reaches the main thread through this lock, which the thread sanitizer sees,
    // rather than through Qt's event queue, which it cannot.
    class Context final : public QObject {
    public:
        bool event(QEvent* event) override;
        std::mutex mutex;
        std::deque<Task> posted;
    };
    Context context_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace sorvin
