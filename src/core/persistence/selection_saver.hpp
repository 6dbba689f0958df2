#pragma once

#include "persistence/selection_save_values.hpp"
#include "persistence/selection_store.hpp"
#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

// Writes folder records off the main thread: one save at a time, in the order they were asked
// for. A save still waiting for its turn gives way to newer values of the same store, so a burst
// of saves writes the newest once; saves of different stores (a folder left for another) are all
// written, each folder's in order. What each save came to is reported on the main queue.
class SelectionSaver {
public:
    struct Result {
        std::shared_ptr<SelectionStore> store;
        std::optional<bool> usesFallback; // when written: whether the fallback file took it
        std::exception_ptr error;         // when not
    };
    using Report = std::function<void(const Result&)>;

    // The report runs on the main queue, also after the saver is gone; it holds what it reports
    // to weakly.
    SelectionSaver(MainQueue& mainQueue, BackgroundExecutor& executor, Report report);
    SelectionSaver(const SelectionSaver&) = delete;
    SelectionSaver& operator=(const SelectionSaver&) = delete;

    // Main thread.
    void save(std::shared_ptr<SelectionStore> store, SelectionSaveValues values,
              std::chrono::system_clock::time_point date);

    // Waits until every save asked for so far has ended, at most the given seconds; a save that
    // has not started yet runs on the calling thread. True when the last save was written (or none
    // was ever asked for); false when it failed or the time ran out.
    bool finish(double seconds);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    BackgroundExecutor& executor_;
};

} // namespace sorvin
