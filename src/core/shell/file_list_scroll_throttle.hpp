#pragma once

#include "platform/main_queue.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

// Paces the file list's scrolling while the cursor moves quickly: inside a burst of movements at
// most one scroll every 0.12 s, and one last check 0.15 s after the burst ends, so the list keeps
// up with a held arrow key without scrolling on every photo.
class FileListScrollThrottle {
public:
    static constexpr double kMinimumScrollInterval = 0.12; // seconds
    static constexpr double kBurstGap = 0.15;              // seconds; also the trailing delay

    // Asks the list to bring the current row into view; true when it requested a scroll.
    using ScrollIfNeeded = std::function<bool()>;

    // Times come from the main queue's clock.
    explicit FileListScrollThrottle(MainQueue& mainQueue) : mainQueue_(mainQueue) {}
    FileListScrollThrottle(const FileListScrollThrottle&) = delete;
    FileListScrollThrottle& operator=(const FileListScrollThrottle&) = delete;
    ~FileListScrollThrottle() { cancel(); }

    // Called once per cursor movement.
    void navigation(ScrollIfNeeded scrollIfNeeded);
    // Drops the pending trailing scroll and ends the burst; the last scroll time stays.
    void cancel();
    // A scroll made outside the throttle (after a re-sort) counts as the last scroll.
    void recordScroll() { lastScrollTime_ = mainQueue_.now(); }

    bool hasTrailingScroll() const { return finalCancellation_.has_value(); }
    std::optional<double> lastScrollTime() const { return lastScrollTime_; }

private:
    MainQueue& mainQueue_;
    std::optional<MainQueue::Timer> finalCancellation_;
    std::optional<double> lastMovementTime_;
    std::optional<double> lastScrollTime_;
};

} // namespace sorvin
