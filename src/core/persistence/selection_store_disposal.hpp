#pragma once

#include "persistence/selection_store.hpp"
#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

#include <memory>

namespace sorvin {

// Sees that no folder's store ends on the main thread while the program runs: a store's end lets
// go of its record's lock and removes the lock file, a question to the disk of the data folder.
// Once the last holder of a store lets go of it, on whatever thread, the store is handed through
// the main queue to the executor and ends there. Once closed, stores end where they are let go
// (the program is ending, its window gone). A copy stands for the same disposal.
class SelectionStoreDisposal {
public:
    // Both must be there until the disposal is closed.
    SelectionStoreDisposal(MainQueue& mainQueue, BackgroundExecutor& executor);

    // Any thread.
    std::shared_ptr<SelectionStore> adopt(std::unique_ptr<SelectionStore> store) const;
    // Main thread; before the main queue or the executor goes.
    void close() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin
