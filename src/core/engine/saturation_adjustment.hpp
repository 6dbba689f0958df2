#pragma once

#include "engine/rgb_bytes.hpp"

namespace sorvin {

// Saturation and vibrance, one step after the tone tables. Vibrance acts most on pixels that are
// weakly saturated. Both values are -100...100; the step runs when either is non-zero.
struct SaturationAdjustment {
    static RgbBytes perPixel(RgbBytes pixel, int saturation, int vibrance);
};

} // namespace sorvin
