#include "canvas/scroll_advance_accumulator.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

int ScrollAdvanceAccumulator::consume(double deltaY, bool isPrecise, bool isMomentum, double pointsPerStep) {
    if (isMomentum || deltaY == 0 || !std::isfinite(deltaY)) return 0;
    if (!(std::isfinite(pointsPerStep) && pointsPerStep > 0)) pointsPerStep = kDefaultPointsPerStep;
    const int dir = deltaY > 0 ? 1 : -1;
    // A reversal discards what was collected, and so does a change between wheel and trackpad.
    if ((direction != 0 && direction != dir) || collectsDegrees == isPrecise) accumulatedDeltaY = 0;
    direction = dir;
    collectsDegrees = !isPrecise;
    const double perStep = isPrecise ? pointsPerStep : kDegreesPerNotch;
    accumulatedDeltaY += deltaY;
    const double whole = std::trunc(std::abs(accumulatedDeltaY) / perStep);
    if (!(whole >= 1)) return 0;
    const int steps = static_cast<int>(std::min(whole, static_cast<double>(kMaximumStepsPerEvent))) * dir;
    accumulatedDeltaY -= steps * perStep;
    return steps;
}

} // namespace sorvin
