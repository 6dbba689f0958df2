#pragma once

#include "platform/main_queue.hpp"

#include <functional>

namespace sorvin {

// Runs only the newest of a burst of actions, a fixed pause after the last submit, so that work
// that follows the current photo (EXIF, histogram) starts where rapid movement rests.
class NavigationSideEffectDebouncer {
public:
    static constexpr double kDelay = 0.15; // seconds

    explicit NavigationSideEffectDebouncer(MainQueue& mainQueue) : mainQueue_(mainQueue) {}
    NavigationSideEffectDebouncer(const NavigationSideEffectDebouncer&) = delete;
    NavigationSideEffectDebouncer& operator=(const NavigationSideEffectDebouncer&) = delete;
    ~NavigationSideEffectDebouncer() { cancel(); }

    bool isPending() const { return pending_; }

    void submit(std::function<void()> action) {
        timer_.cancel();
        pending_ = true;
        timer_ = mainQueue_.postAfter(kDelay, [this, action = std::move(action)] {
            pending_ = false;
            action();
        });
    }

    // The pending action never runs.
    void cancel() {
        timer_.cancel();
        timer_ = {};
        pending_ = false;
    }

private:
    MainQueue& mainQueue_;
    MainQueue::Timer timer_;
    bool pending_ = false;
};

} // namespace sorvin
