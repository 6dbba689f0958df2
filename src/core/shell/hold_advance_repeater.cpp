#include "shell/hold_advance_repeater.hpp"

#include <algorithm>

namespace sorvin {

HoldAdvanceScheduler HoldAdvanceScheduler::live(MainQueue& queue) {
    return {[&queue](std::function<void()> action, double delay) -> Cancel {
                MainQueue::Timer timer = queue.postAfter(delay, std::move(action));
                return [timer]() mutable { timer.cancel(); };
            },
            [&queue] { return queue.now(); }};
}

HoldAdvanceRepeater::HoldAdvanceRepeater(HoldAdvanceScheduler scheduler) : scheduler_(std::move(scheduler)) {}

HoldAdvanceRepeater::~HoldAdvanceRepeater() {
    stop();
}

void HoldAdvanceRepeater::start(std::uint16_t keyCode, int direction, std::function<int()> rate,
                                std::function<bool(int)> advance) {
    stop();
    heldKeyCode_ = keyCode;
    direction_ = direction;
    rate_ = std::move(rate);
    advance_ = std::move(advance);
    const double pressed = scheduler_.now ? scheduler_.now() : 0;
    // Copy: the advance may stop the repeater (and clear advance_) while it runs.
    const auto advanceNow = advance_;
    if (!advanceNow(direction)) {
        stop();
        return;
    }
    if (heldKeyCode_ == keyCode && direction_ == direction && !cancellation_)
        scheduleAt(pressed + firstDelay, pressed);
}

void HoldAdvanceRepeater::stop() {
    if (cancellation_) {
        auto cancel = std::move(cancellation_);
        cancellation_ = nullptr;
        cancel();
    }
    heldKeyCode_.reset();
    direction_ = 0;
    rate_ = nullptr;
    advance_ = nullptr;
}

// The step runs at its deadline, but never sooner than `earliest`; a deadline already past is met
// at once.
void HoldAdvanceRepeater::scheduleAt(double deadline, double earliest) {
    if (!scheduler_.schedule || !scheduler_.now) return;
    const double current = scheduler_.now();
    deadline_ = deadline;
    std::weak_ptr<HoldAdvanceRepeater*> weak = self_;
    cancellation_ = scheduler_.schedule(
        [weak] {
            if (auto self = weak.lock()) (*self)->step();
        },
        std::max({deadline, earliest, current}) - current);
}

void HoldAdvanceRepeater::step() {
    if (!heldKeyCode_ || !advance_ || !rate_) return;
    cancellation_ = nullptr;
    const std::uint16_t keyCode = *heldKeyCode_;
    const int direction = direction_;
    const auto advance = advance_;
    if (!advance(direction)) {
        stop();
        return;
    }
    // The advance may have stopped or restarted the repeat; then this step's chain ends here.
    if (heldKeyCode_ != keyCode || direction_ != direction || cancellation_ || !rate_) return;
    const double interval = 1.0 / std::clamp(rate_(), minimumRate, maximumRate);
    if (!scheduler_.now) return;
    const double finished = scheduler_.now();
    const double next = std::max(deadline_ + interval, finished - 2 * interval);
    scheduleAt(next, finished + interval / 2);
}

} // namespace sorvin
