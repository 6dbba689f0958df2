#include "persistence/selection_saver.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <set>
#include <mutex>
#include <utility>
#include <vector>

namespace sorvin {

struct SelectionSaver::Shared : std::enable_shared_from_this<Shared> {
    struct Job {
        SelectionSaveValues values;
        std::chrono::system_clock::time_point date;
        std::uint64_t number; // of the newest save it writes
    };
    // The saves of one store: one written at a time, and the newest values waiting behind it.
    struct Line {
        std::shared_ptr<SelectionStore> store;
        std::optional<Job> waiting;
    };
    struct Waiter {
        std::vector<std::uint64_t> numbers; // the saves it waits for
        MainQueue::Task task;
    };

    Shared(MainQueue& queue, Report reportTo) : mainQueue(queue), report(std::move(reportTo)) {}

    // A turn of the executor for the store: writes what waits for it, until nothing does.
    void drain(const std::shared_ptr<SelectionStore>& store) {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto line = std::find_if(lines.begin(), lines.end(), [&](const Line& each) { return each.store == store; });
            if (!line->waiting) {
                lines.erase(line);
                return;
            }
            Job job = std::move(*line->waiting);
            line->waiting.reset();
            lock.unlock();
            write(store, std::move(job));
            lock.lock();
        }
    }

    void write(const std::shared_ptr<SelectionStore>& store, Job job) {
        Result result{store, std::nullopt, nullptr, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
        try {
            result.usesFallback = store->save(job.values, job.date);
        } catch (...) {
            result.error = std::current_exception();
            result.unwritten = std::move(job.values);
        }
        result.protection = store->protection();
        result.keptBeside = store->keptBesideURL();
        result.diversion = store->diversion();
        if (!result.error) result.combination = store->combination();
        mainQueue.post([shared = shared_from_this(), number = job.number, result = std::move(result)] {
            shared->ended(number, result);
        });
    }

    // Main thread: each store's saves end in the order they were asked for.
    void ended(std::uint64_t number, const Result& result) {
        outstanding.erase(number);
        std::erase_if(lastAskedOf, [&](const Asked& asked) { return !outstanding.contains(asked.number); });
        report(result);
        std::vector<MainQueue::Task> due;
        std::erase_if(waiters, [&](Waiter& waiter) {
            if (std::any_of(waiter.numbers.begin(), waiter.numbers.end(),
                            [&](std::uint64_t each) { return outstanding.contains(each); }))
                return false;
            due.push_back(std::move(waiter.task));
            return true;
        });
        for (auto& task : due)
            task();
    }

    // The last save asked of each store of the folder (or of any) that has not been reported.
    std::vector<std::uint64_t> lastAsked(const SelectionStore* folder) const {
        std::vector<std::uint64_t> numbers;
        for (const Asked& asked : lastAskedOf)
            if (const auto store = asked.store.lock(); store && (!folder || store->isOf(*folder)))
                numbers.push_back(asked.number);
        return numbers;
    }

    MainQueue& mainQueue;
    Report report;

    // Between the threads, under the lock: a line for each store with a save waiting or being
    // written.
    std::mutex mutex;
    std::vector<Line> lines;

    // The main thread's own.
    std::uint64_t askedNumber = 0;
    std::set<std::uint64_t> outstanding; // asked, and neither reported nor taken over by a newer one
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
    shared.outstanding.insert(number);
    const auto asked = std::find_if(shared.lastAskedOf.begin(), shared.lastAskedOf.end(),
                                    [&](const Shared::Asked& entry) { return entry.store.lock() == store; });
    if (asked != shared.lastAskedOf.end())
        asked->number = number;
    else
        shared.lastAskedOf.push_back({store, number});
    std::optional<std::uint64_t> replaced;
    bool startsTurn = false;
    {
        const std::lock_guard lock(shared.mutex);
        auto line = std::find_if(shared.lines.begin(), shared.lines.end(),
                                 [&](const Shared::Line& each) { return each.store == store; });
        if (line == shared.lines.end()) {
            shared.lines.push_back({store, std::nullopt});
            line = std::prev(shared.lines.end());
            startsTurn = true;
        }
        // Each save writes the whole record, so newer values make a waiting save of the same
        // store needless.
        if (line->waiting) replaced = line->waiting->number;
        line->waiting = Shared::Job{std::move(values), date, number};
    }
    // Whoever waited for the save taken over waits for the one that writes its values.
    if (replaced) {
        shared.outstanding.erase(*replaced);
        for (Shared::Waiter& waiter : shared.waiters)
            std::replace(waiter.numbers.begin(), waiter.numbers.end(), *replaced, number);
    }
    if (startsTurn) executor_.run(TaskPriority::userInitiated, [shared = shared_, store] { shared->drain(store); });
}

bool SelectionSaver::isSaving(const SelectionStore* folder) const {
    return !shared_->lastAsked(folder).empty();
}

void SelectionSaver::whenSaved(const SelectionStore* folder, MainQueue::Task task) {
    std::vector<std::uint64_t> numbers = shared_->lastAsked(folder);
    if (numbers.empty()) {
        task();
        return;
    }
    shared_->waiters.push_back({std::move(numbers), std::move(task)});
}

} // namespace sorvin
