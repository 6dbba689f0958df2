#pragma once

#include "platform/main_queue.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

// Runs an action after a delay in seconds and gives a function that calls it off; `now` reads the
// clock the delays run on (seconds). Without both nothing is ever scheduled.
struct HoldAdvanceScheduler {
    using Cancel = std::function<void()>;
    std::function<Cancel(std::function<void()> action, double delay)> schedule;
    std::function<double()> now;

    // Timers and clock of the main queue.
    static HoldAdvanceScheduler live(MainQueue& queue);
};

// Paces the walk through the photos while Up or Down is held: one step at the press, the next
// after 0.25 s, then steadily at the rate asked at every step (clamped to 2-30 per second), on its
// own clock rather than the system's key repeat. A step always waits for the one before it, but
// the steps keep to deadlines (the press plus 0.25 s, then one interval after the other), so the
// work of a step does not lengthen the interval. A step that comes late is made up for by the
// following ones, each at least half an interval after the one before has finished, so that every
// photo passed gets a moment on screen; a delay of more than two intervals is not made up (a
// long stall is not followed by a long burst). Main thread only.
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
    void scheduleAt(double deadline, double earliest);
    void step();

    HoldAdvanceScheduler scheduler_;
    HoldAdvanceScheduler::Cancel cancellation_;
    double deadline_ = 0; // when the pending step is due by the pace (it may run later)
    std::optional<std::uint16_t> heldKeyCode_;
    int direction_ = 0;
    std::function<int()> rate_;
    std::function<bool(int)> advance_;
    // Steps already on their way hold this weakly, so they do nothing once the repeater is gone.
    std::shared_ptr<HoldAdvanceRepeater*> self_ = std::make_shared<HoldAdvanceRepeater*>(this);
};

} // namespace sorvin
