#pragma once

#include <array>

namespace sorvin {

// The eight colours of the mixer and of black and white sit at fixed hues; a pixel's hue falls
// between two of them and takes a blend of their values.
struct HueSectors {
    // Red, orange, yellow, green, aqua, blue, purple, magenta.
    using PerColor = std::array<float, 8>;

    // Hue in degrees [0, 360) of channel values in 0...1 whose max - min (delta) is above 0.
    // Red wins ties, then green.
    static float hue(float red, float green, float blue, float max, float delta);

    // The value at a hue, interpolated between the two colours whose anchors enclose it.
    static float interpolate(const PerColor& values, float hue);

    // x modulo 360 as the floating remainder, moved into [0, 360).
    static float wrapDegrees(float x);
};

} // namespace sorvin
