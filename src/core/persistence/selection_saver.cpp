#include "persistence/selection_saver.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace sorvin {

struct SelectionSaver::Shared {
    struct Job {
        std::shared_ptr<SelectionStore> store;
        SelectionSaveValues values;
        std::chrono::system_clock::time_point date;
    };

    Shared(MainQueue& queue, Report reportTo) : mainQueue(queue), report(std::move(reportTo)) {}

    // Under the lock: the next save, unless one is being written.
    std::optional<Job> take() {
        if (writing || waiting.empty()) return std::nullopt;
        writing = true;
        Job job = std::move(waiting.front());
        waiting.pop_front();
        return job;
    }

    // Not under the lock.
    void write(Job job) {
        Result result{job.store, std::nullopt, nullptr};
        try {
            result.usesFallback = job.store->save(job.values, job.date);
        } catch (...) {
            result.error = std::current_exception();
        }
        const bool written = !result.error;
        // Posted first, so that what a finished wait saw written has been reported.
        mainQueue.post([report = report, result = std::move(result)] { report(result); });
        {
            const std::lock_guard lock(mutex);
            writing = false;
            lastWritten = written;
        }
        ended.notify_all();
    }

    // The executor's turn: writes what waits, until nothing does or the main thread writes.
    void drain() {
        std::unique_lock lock(mutex);
        while (auto job = take()) {
            lock.unlock();
            write(std::move(*job));
            lock.lock();
        }
        drainQueued = false;
    }

    MainQueue& mainQueue;
    Report report;
    std::mutex mutex;
    std::condition_variable ended;
    std::deque<Job> waiting;
    bool writing = false;
    bool drainQueued = false;
    bool lastWritten = true;
};

SelectionSaver::SelectionSaver(MainQueue& mainQueue, BackgroundExecutor& executor, Report report)
    : shared_(std::make_shared<Shared>(mainQueue, std::move(report))), executor_(executor) {}

void SelectionSaver::save(std::shared_ptr<SelectionStore> store, SelectionSaveValues values,
                          std::chrono::system_clock::time_point date) {
    {
        const std::lock_guard lock(shared_->mutex);
        auto& waiting = shared_->waiting;
        // Each save writes the whole record, so newer values make a waiting save of the same
        // store needless. Only the last one may go: one before it precedes another folder's.
        if (!waiting.empty() && waiting.back().store == store) {
            waiting.back().values = std::move(values);
            waiting.back().date = date;
        } else {
            waiting.push_back({std::move(store), std::move(values), date});
        }
        if (shared_->drainQueued) return;
        shared_->drainQueued = true;
    }
    executor_.run(TaskPriority::userInitiated, [shared = shared_] { shared->drain(); });
}

bool SelectionSaver::finish(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    Shared& shared = *shared_;
    std::unique_lock lock(shared.mutex);
    for (;;) {
        if (shared.waiting.empty() && !shared.writing) return shared.lastWritten;
        if (auto job = shared.take()) {
            lock.unlock();
            shared.write(std::move(*job));
            lock.lock();
            continue;
        }
        // Another thread writes, and goes on with what waits when time runs out here.
        if (std::chrono::steady_clock::now() >= deadline) return false;
        shared.ended.wait_until(lock, deadline);
    }
}

} // namespace sorvin
