#include "ui/platform/qt_main_queue.hpp"

#include "platform/thread_handoff.hpp"

#include <QThread>
#include <QTimer>
#include <cmath>

namespace sorvin {

QtMainQueue::QtMainQueue() = default;

void QtMainQueue::post(Task task) {
    auto work = std::make_shared<Task>(std::move(task));
    ThreadHandoff::handOver(work.get());
    QMetaObject::invokeMethod(&context_, [work = std::move(work)] {
        ThreadHandoff::takeOver(work.get());
        (*work)();
    }, Qt::QueuedConnection);
}

double QtMainQueue::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void QtMainQueue::schedule(double seconds, Task task) {
    const auto delay = std::chrono::milliseconds(
        static_cast<long long>(std::ceil(std::max(0.0, std::isfinite(seconds) ? seconds : 0.0) * 1000.0)));
    // Short timers pace hold-to-advance; coarse timers would make it uneven.
    auto start = [this, delay, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(task));
    };
    if (QThread::currentThread() == context_.thread())
        start();
    else
        post(std::move(start));
}

} // namespace sorvin
