#include "engine/color_adjustment.hpp"

#include "engine/pixel_rounding.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

const ColorAdjustmentPlan ColorAdjustmentPlan::zero{};

std::uint8_t ColorAdjustment::roundedByte(float value) {
    return PixelRounding::byte(value);
}

RgbBytes ColorAdjustment::perPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                   const ColorAdjustmentPlan& plan) {
    const float r = red / 255.0f;
    const float g = green / 255.0f;
    const float b = blue / 255.0f;
    const float max = std::max(std::max(r, g), b);
    const float min = std::min(std::min(r, g), b);
    const float delta = max - min;
    if (!(delta > 0)) return {red, green, blue};

    const float h = HueSectors::hue(r, g, b, max, delta);
    const float hueShift = HueSectors::interpolate(plan.hue, h);
    const float saturationShift = HueSectors::interpolate(plan.saturation, h);
    const float luminanceShift = HueSectors::interpolate(plan.luminance, h);

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
