#pragma once

#include "engine/byte_rounding.hpp"
#include "engine/hue_sectors.hpp"
#include "engine/rgb_bytes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace sorvin {

class PhotoParameters;

// The hue, saturation and luminance shifts of the eight colours, as the raw values -100...100.
struct ColorAdjustmentPlan {
    HueSectors::PerColor hue{};
    HueSectors::PerColor saturation{};
    HueSectors::PerColor luminance{};

    static const ColorAdjustmentPlan zero;
    bool operator==(const ColorAdjustmentPlan&) const = default;
};

// The colour mixer: moves each pixel's hue, saturation and brightness by the values of the two
// colours its hue lies between.
struct ColorAdjustment {
    // None when every value of the hue, saturation and luminance pages is 0.
    static std::optional<ColorAdjustmentPlan> plan(const PhotoParameters& parameters);

    static RgbBytes perPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                             const ColorAdjustmentPlan& plan);

    // Half away from zero, then limited to 0...255.
    static std::uint8_t roundedByte(float value) { return sorvin::roundedByte(value); }
};

// Inline: the first sweep calls it for every pixel.
inline RgbBytes ColorAdjustment::perPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                          const ColorAdjustmentPlan& plan) {
    const float r = unitChannel(red);
    const float g = unitChannel(green);
    const float b = unitChannel(blue);
    const float max = std::max(std::max(r, g), b);
    const float min = std::min(std::min(r, g), b);
    const float delta = max - min;
    if (!(delta > 0)) return {red, green, blue};

    const float h = HueSectors::hue(r, g, b, max, delta);
    const HueSectors::Position position = HueSectors::locate(h);
    const float hueShift = position.of(plan.hue);
    const float saturationShift = position.of(plan.saturation);
    const float luminanceShift = position.of(plan.luminance);

    // +-100 turns the hue by +-15 degrees.
    const float newHue = HueSectors::wrapDegrees(h + 0.15f * hueShift);
    float s = delta / max;
    if (saturationShift != 0) s = std::clamp(s * std::exp2(0.006f * saturationShift), 0.0f, 1.0f);
    float v = max;
    if (luminanceShift != 0) v = std::clamp(v * std::exp2(0.006f * luminanceShift), 0.0f, 1.0f);

    const float sector = newHue / 60.0f;
    const float whole = std::floor(sector);
    const float f = sector - whole;
    const float p = v * (1.0f - s);
    const float q = v * (1.0f - s * f);
    const float t = v * (1.0f - s * (1.0f - f));
    float outR, outG, outB;
    switch (static_cast<int>(whole) % 6) {
    case 0:
        outR = v, outG = t, outB = p;
        break;
    case 1:
        outR = q, outG = v, outB = p;
        break;
    case 2:
        outR = p, outG = v, outB = t;
        break;
    case 3:
        outR = p, outG = q, outB = v;
        break;
    case 4:
        outR = t, outG = p, outB = v;
        break;
    default:
        outR = v, outG = p, outB = q;
        break;
    }
    return {roundedByte(outR * 255.0f), roundedByte(outG * 255.0f), roundedByte(outB * 255.0f)};
}

} // namespace sorvin
