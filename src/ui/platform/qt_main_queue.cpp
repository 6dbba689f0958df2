#include "ui/platform/qt_main_queue.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace sorvin {

QtMainQueue::QtMainQueue() = default;

namespace {

const QEvent::Type kPostedTask = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

void QtMainQueue::post(Task task) {
    {
        const std::lock_guard lock(context_.mutex);
        context_.posted.push_back(std::move(task));
    }
    QCoreApplication::postEvent(&context_, new QEvent(kPostedTask));
}

bool QtMainQueue::Context::event(QEvent* event) {
    if (event->type() != kPostedTask) return QObject::event(event);
    Task task;
    {
        const std::lock_guard lock(mutex);
        task = std::move(posted.front());
        posted.pop_front();
    }
    task();
    return true;
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
