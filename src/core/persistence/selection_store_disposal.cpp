#include "persistence/selection_store_disposal.hpp"

#include <mutex>
#include <utility>

namespace sorvin {

struct SelectionStoreDisposal::Shared {
    Shared(MainQueue& queue, BackgroundExecutor& work) : mainQueue(queue), executor(work) {}

    // Main thread: the store ends on the executor.
    void letGo(std::shared_ptr<SelectionStore> store) {
        if (open)
            executor.run(TaskPriority::utility, [store = std::move(store)]() mutable { store.reset(); });
    }

    MainQueue& mainQueue;
    BackgroundExecutor& executor;
    std::mutex mutex; // over open, which only the main thread changes
    bool open = true;
};

SelectionStoreDisposal::SelectionStoreDisposal(MainQueue& mainQueue, BackgroundExecutor& executor)
    : shared_(std::make_shared<Shared>(mainQueue, executor)) {}

std::shared_ptr<SelectionStore> SelectionStoreDisposal::adopt(std::unique_ptr<SelectionStore> store) const {
    return std::shared_ptr<SelectionStore>(store.release(), [shared = shared_](SelectionStore* released) {
        std::shared_ptr<SelectionStore> ending(released);
        const std::lock_guard lock(shared->mutex);
        if (!shared->open) return; // ends here, once the lock is let go
        shared->mainQueue.post(
            [shared, ending = std::move(ending)]() mutable { shared->letGo(std::move(ending)); });
    });
}

void SelectionStoreDisposal::close() const {
    const std::lock_guard lock(shared_->mutex);
    shared_->open = false;
}

} // namespace sorvin
