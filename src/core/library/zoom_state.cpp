#include "library/zoom_state.hpp"

#include <cmath>

namespace sorvin {

namespace {

double panned(double offset, double delta, double fitted, double viewport, double scale) {
    double limit = (fitted * scale - viewport) * 0.5;
    if (std::isnan(limit) || limit < 0) limit = 0;
    const double moved = offset + delta;
    if (moved <= -limit) return -limit;
    if (moved > limit) return limit;
    return moved;
}

} // namespace

void ZoomState::pan(Size delta, Size viewportSize, Size fittedImageSize) {
    if (!(scale > 1)) {
        offset = {};
        return;
    }
    offset.width = panned(offset.width, delta.width, fittedImageSize.width, viewportSize.width, scale);
    offset.height = panned(offset.height, delta.height, fittedImageSize.height, viewportSize.height, scale);
}

} // namespace sorvin
