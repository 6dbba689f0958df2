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
// Clamping first gives the same byte (both bounds are whole numbers). Written without branches:
// the colour stages call it several times per pixel on fractions no predictor could guess. Single
// precision results convert to double exactly, so one rule serves both precisions.
inline std::uint8_t roundedByte(double value) {
    const double low = value > 0.0 ? value : 0.0; // also catches NaN
    const double clamped = low < 255.0 ? low : 255.0;
    const int truncated = static_cast<int>(clamped);
    return static_cast<std::uint8_t>(truncated + (clamped - static_cast<double>(truncated) >= 0.5));
}

// A channel byte on the 0...1 scale in single precision: the same value as byte / 255.0f, looked up.
inline float unitChannel(std::uint8_t byte) {
    static constexpr struct Units {
        float values[256];
        constexpr Units() : values() {
            for (int i = 0; i < 256; ++i)
                values[i] = static_cast<float>(i) / 255.0f;
        }
    } kUnits;
    return kUnits.values[byte];
}

} // namespace sorvin
