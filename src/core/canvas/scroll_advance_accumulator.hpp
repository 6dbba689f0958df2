#pragma once

namespace sorvin {

// Turns scroll distances into whole photo steps: a wheel notch is one step, precise (trackpad)
// scrolling pays out one step per pointsPerStep points, at most three per event.
struct ScrollAdvanceAccumulator {
    static constexpr double kDefaultPointsPerStep = 60;
    static constexpr int kMaximumStepsPerEvent = 3;

    double accumulatedDeltaY = 0;
    int direction = 0;

    // A signed number of steps, in the sign of deltaY.
    int consume(double deltaY, bool isPrecise, bool isMomentum, double pointsPerStep);
    void reset() { *this = {}; }

    friend bool operator==(const ScrollAdvanceAccumulator&, const ScrollAdvanceAccumulator&) = default;
};

} // namespace sorvin
