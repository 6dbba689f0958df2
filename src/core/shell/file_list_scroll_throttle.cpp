#include "shell/file_list_scroll_throttle.hpp"

#include <utility>

namespace sorvin {

void FileListScrollThrottle::navigation(ScrollIfNeeded scrollIfNeeded) {
    const double now = mainQueue_.now();
    const bool continuesBurst = lastMovementTime_ && now - *lastMovementTime_ < kBurstGap;
    lastMovementTime_ = now;
    if (finalCancellation_) {
        finalCancellation_->cancel();
        finalCancellation_.reset();
    }
    if (!continuesBurst || !lastScrollTime_ || now - *lastScrollTime_ >= kMinimumScrollInterval) {
        if (scrollIfNeeded()) lastScrollTime_ = now;
    }
    // Cancelled by cancel() and the destructor, so it never runs on a destroyed throttle.
    finalCancellation_ = mainQueue_.postAfter(kBurstGap, [this, scroll = std::move(scrollIfNeeded)] {
        finalCancellation_.reset();
        if (scroll()) lastScrollTime_ = mainQueue_.now();
    });
}

void FileListScrollThrottle::cancel() {
    if (finalCancellation_) finalCancellation_->cancel();
    finalCancellation_.reset();
    lastMovementTime_.reset();
}

} // namespace sorvin
