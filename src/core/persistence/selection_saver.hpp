#pragma once

#include "persistence/selection_save_values.hpp"
#include "persistence/selection_store.hpp"
#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

// Writes folder records off the main thread, and only there: for each store one save at a time, in
// the order they were asked for, each store in a turn of the executor of its own, so that a disk
// that holds one folder's write holds no other folder's. A save still waiting for its turn gives
// way to newer values of the same store, so a burst of saves writes the newest once. What each
// save came to is reported on the main queue. The main thread never waits for a write: it asks to
// be told when saves have ended.
class SelectionSaver {
public:
    struct Result {
        std::shared_ptr<SelectionStore> store;
        std::optional<bool> usesFallback; // when written: whether the fallback file took it
        std::exception_ptr error;         // when not
        // Why the store refuses to write the record, as it stands after this save.
        std::optional<SelectionProtection> protection;
        // Where the store puts this copy's values instead of the record, and why.
        std::optional<std::filesystem::path> keptBeside;
        std::optional<SelectionDiversion> diversion;
        // What the save combined from a record changed elsewhere.
        std::optional<SelectionCombination> combination;
        // When not written: the values the save was to write, so that they can be handed again.
        std::optional<SelectionSaveValues> unwritten;
    };
    using Report = std::function<void(const Result&)>;

    // The report runs on the main queue, also after the saver is gone; it holds what it reports
    // to weakly.
    SelectionSaver(MainQueue& mainQueue, BackgroundExecutor& executor, Report report);
    SelectionSaver(const SelectionSaver&) = delete;
    SelectionSaver& operator=(const SelectionSaver&) = delete;

    // Main thread, all of them.
    void save(std::shared_ptr<SelectionStore> store, SelectionSaveValues values,
              std::chrono::system_clock::time_point date);
    // Whether a save asked for so far, of the record of the store's folder (by whatever path it is
    // reached, or by its path once it is mounted anew; see SelectionStore::isOf) or of any when no
    // store is named, has not been reported yet (waiting, being written, or written a moment ago).
    bool isSaving(const SelectionStore* folder = nullptr) const;
    // Runs the task on the main queue, right after the report of the last save asked for so far
    // (of the store's folder, or of any); at once when there is none.
    void whenSaved(const SelectionStore* folder, MainQueue::Task task);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    BackgroundExecutor& executor_;
};

} // namespace sorvin
