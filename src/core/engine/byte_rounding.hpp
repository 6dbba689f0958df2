#pragma once

#include <cstdint>

namespace sorvin {

// Rounds half away from zero, exactly. std::round is a library call on this target and the pixel
// loops call this once per channel, so it truncates and corrects instead; the difference v - t is
// exact for every value a stage can produce.
inline std::int64_t roundedHalfAway(double value) {
    auto truncated = static_cast<std::int64_t>(value);
    const double rest = value - static_cast<double>(truncated);
    if (rest >= 0.5)
        ++truncated;
    else if (rest <= -0.5)
        --truncated;
    return truncated;
}

// A stage's floating-point result as a byte: rounded half away from zero, clamped to 0...255.
inline std::uint8_t roundedByte(double value) {
    if (!(value > -0.5)) return 0; // also catches NaN
    if (value >= 255.0) return 255;
    const std::int64_t rounded = roundedHalfAway(value);
    return static_cast<std::uint8_t>(rounded > 255 ? 255 : rounded);
}

} // namespace sorvin
