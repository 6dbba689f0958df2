#pragma once

#include "platform/main_queue.hpp"

#include <QObject>
#include <chrono>

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
    QObject context_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace sorvin
