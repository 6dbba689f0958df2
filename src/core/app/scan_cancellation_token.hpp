#pragma once

#include <mutex>

namespace sorvin {

// The flag a folder scan polls; one per scan, shared between the main thread and the scan.
class ScanCancellationToken {
public:
    void cancel() {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    bool isCancelled() const {
        std::lock_guard lock(mutex_);
        return cancelled_;
    }

private:
    mutable std::mutex mutex_;
    bool cancelled_ = false;
};

} // namespace sorvin
