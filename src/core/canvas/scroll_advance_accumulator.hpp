#pragma once

namespace sorvin {

// Turns scroll distances into whole steps (photos, or zoom notches while Ctrl is held), at most
// three per event: precise (trackpad) scrolling pays out one step per pointsPerStep points; a
// wheel reports degrees of turn and pays out one step per whole notch, which high-resolution
// wheels and many touchpads send in parts.
struct ScrollAdvanceAccumulator {
    static constexpr double kDefaultPointsPerStep = 60;
    static constexpr double kDegreesPerNotch = 15;
    static constexpr int kMaximumStepsPerEvent = 3;

    // Points, or degrees while a wheel scrolls.
    double accumulatedDeltaY = 0;
    int direction = 0;
    bool collectsDegrees = false;

    // A signed number of steps, in the sign of deltaY: points when isPrecise, else degrees.
    int consume(double deltaY, bool isPrecise, bool isMomentum, double pointsPerStep);
    void reset() { *this = {}; }

    friend bool operator==(const ScrollAdvanceAccumulator&, const ScrollAdvanceAccumulator&) = default;
};

} // namespace sorvin
