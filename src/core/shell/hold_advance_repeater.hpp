#pragma once

#include "platform/main_queue.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

// Runs an action after a delay in seconds and gives a function that calls it off.
struct HoldAdvanceScheduler {
    using Cancel = std::function<void()>;
    std::function<Cancel(std::function<void()> action, double delay)> schedule;

    // Timers of the main queue.
    static HoldAdvanceScheduler live(MainQueue& queue);
};

// Paces the walk through the photos while Up or Down is held: one step at the press, the next
// after 0.25 s, then steadily at the rate asked at every step (clamped to 2-30 per second), on its
// own clock rather than the system's key repeat. Main thread only.
class HoldAdvanceRepeater {
public:
    static constexpr double firstDelay = 0.25;
    static constexpr int minimumRate = 2;
    static constexpr int maximumRate = 30;

    explicit HoldAdvanceRepeater(HoldAdvanceScheduler scheduler);
    HoldAdvanceRepeater(const HoldAdvanceRepeater&) = delete;
    HoldAdvanceRepeater& operator=(const HoldAdvanceRepeater&) = delete;
    ~HoldAdvanceRepeater();

    // `advance` moves by the direction and answers whether it could; a refusal ends the repeat.
    void start(std::uint16_t keyCode, int direction, std::function<int()> rate,
               std::function<bool(int)> advance);
    void stop();

    std::optional<std::uint16_t> heldKeyCode() const { return heldKeyCode_; }
    int direction() const { return direction_; }

private:
    void scheduleAfter(double seconds);
    void step();

    HoldAdvanceScheduler scheduler_;
    HoldAdvanceScheduler::Cancel cancellation_;
    std::optional<std::uint16_t> heldKeyCode_;
    int direction_ = 0;
    std::function<int()> rate_;
    std::function<bool(int)> advance_;
    // Steps already on their way hold this weakly, so they do nothing once the repeater is gone.
    std::shared_ptr<HoldAdvanceRepeater*> self_ = std::make_shared<HoldAdvanceRepeater*>(this);
};

} // namespace sorvin
