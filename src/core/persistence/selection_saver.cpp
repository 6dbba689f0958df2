#include "persistence/selection_saver.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace sorvin {

namespace fs = std::filesystem;

struct SelectionSaver::Shared : std::enable_shared_from_this<Shared> {
    struct Job {
        std::shared_ptr<SelectionStore> store;
        SelectionSaveValues values;
        std::chrono::system_clock::time_point date;
        std::uint64_t number; // of the newest save it writes
    };
    struct Waiter {
        std::uint64_t number;
        MainQueue::Task task;
    };

    Shared(MainQueue& queue, Report reportTo) : mainQueue(queue), report(std::move(reportTo)) {}

    // The executor's turn: writes what waits, until nothing does.
    void drain() {
        std::unique_lock lock(mutex);
        while (!waiting.empty()) {
            Job job = std::move(waiting.front());
            waiting.pop_front();
            lock.unlock();
            write(std::move(job));
            lock.lock();
        }
        drainQueued = false;
    }

    void write(Job job) {
        Result result{job.store, std::nullopt, nullptr, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
        try {
            result.usesFallback = job.store->save(job.values, job.date);
        } catch (...) {
            result.error = std::current_exception();
            result.unwritten = std::move(job.values);
        }
        result.protection = job.store->protection();
        result.keptBeside = job.store->keptBesideURL();
        result.diversion = job.store->diversion();
        if (!result.error) result.combination = job.store->combination();
        mainQueue.post([shared = shared_from_this(), number = job.number, result = std::move(result)] {
            shared->ended(number, result);
        });
    }

    // Main thread: saves end in the order they were asked for.
    void ended(std::uint64_t number, const Result& result) {
        endedNumber = number;
        std::erase_if(lastAskedOf, [&](const Asked& asked) { return asked.number <= endedNumber; });
        report(result);
        std::vector<MainQueue::Task> due;
        std::erase_if(waiters, [&](Waiter& waiter) {
            if (waiter.number > endedNumber) return false;
            due.push_back(std::move(waiter.task));
            return true;
        });
        for (auto& task : due)
            task();
    }

    std::uint64_t lastAsked(const std::optional<fs::path>& folder) const {
        if (!folder) return askedNumber;
        std::uint64_t last = 0;
        for (const Asked& asked : lastAskedOf)
            if (const auto store = asked.store.lock(); store && store->isOf(*folder))
                last = std::max(last, asked.number);
        return last;
    }

    MainQueue& mainQueue;
    Report report;

    // Between the threads, under the lock.
    std::mutex mutex;
    std::deque<Job> waiting;
    bool drainQueued = false;

    // The main thread's own.
    std::uint64_t askedNumber = 0;
    std::uint64_t endedNumber = 0;
    // The last save asked for of each store whose saves have not all ended.
    struct Asked {
        std::weak_ptr<SelectionStore> store;
        std::uint64_t number;
    };
    std::vector<Asked> lastAskedOf;
    std::vector<Waiter> waiters;
};

SelectionSaver::SelectionSaver(MainQueue& mainQueue, BackgroundExecutor& executor, Report report)
    : shared_(std::make_shared<Shared>(mainQueue, std::move(report))), executor_(executor) {}

void SelectionSaver::save(std::shared_ptr<SelectionStore> store, SelectionSaveValues values,
                          std::chrono::system_clock::time_point date) {
    Shared& shared = *shared_;
    const std::uint64_t number = ++shared.askedNumber;
    const auto asked = std::find_if(shared.lastAskedOf.begin(), shared.lastAskedOf.end(),
                                    [&](const Shared::Asked& entry) { return entry.store.lock() == store; });
    if (asked != shared.lastAskedOf.end())
        asked->number = number;
    else
        shared.lastAskedOf.push_back({store, number});
    {
        const std::lock_guard lock(shared.mutex);
        auto& waiting = shared.waiting;
        // Each save writes the whole record, so newer values make a waiting save of the same
        // store needless. Only the last one may go: one before it precedes another folder's.
        if (!waiting.empty() && waiting.back().store == store) {
            waiting.back().values = std::move(values);
            waiting.back().date = date;
            waiting.back().number = number;
        } else {
            waiting.push_back({std::move(store), std::move(values), date, number});
        }
        if (shared.drainQueued) return;
        shared.drainQueued = true;
    }
    executor_.run(TaskPriority::userInitiated, [shared = shared_] { shared->drain(); });
}

bool SelectionSaver::isSaving(const std::optional<fs::path>& folder) const {
    return shared_->lastAsked(folder) > shared_->endedNumber;
}

void SelectionSaver::whenSaved(const std::optional<fs::path>& folder, MainQueue::Task task) {
    const std::uint64_t number = shared_->lastAsked(folder);
    if (number <= shared_->endedNumber) {
        task();
        return;
    }
    shared_->waiters.push_back({number, std::move(task)});
}

} // namespace sorvin
