#pragma once

#include "engine/byte_rounding.hpp"
#include "engine/rgb_bytes.hpp"

#include <algorithm>

namespace sorvin {

// Saturation and vibrance, one step after the tone tables. Vibrance acts most on pixels that are
// weakly saturated. Both values are -100...100; the step runs when either is non-zero.
struct SaturationAdjustment {
    static RgbBytes perPixel(RgbBytes pixel, int saturation, int vibrance);
};

// Inline: the first sweep calls it for every pixel.
inline RgbBytes SaturationAdjustment::perPixel(RgbBytes pixel, int saturation, int vibrance) {
    float r = pixel.red;
    float g = pixel.green;
    float b = pixel.blue;
    if (saturation != 0) {
        // -100 gives grey, +100 a factor of 1.9.
        const float s = static_cast<float>(saturation);
        const float factor = saturation < 0 ? s / 100.0f + 1.0f : s * 0.009f + 1.0f;
        const float luminance = 0.2126f * r + 0.7152f * g + 0.0722f * b;
        r = std::clamp(luminance + (r - luminance) * factor, 0.0f, 255.0f);
        g = std::clamp(luminance + (g - luminance) * factor, 0.0f, 255.0f);
        b = std::clamp(luminance + (b - luminance) * factor, 0.0f, 255.0f);
    }
    if (vibrance != 0) {
        const float max = std::max(std::max(r, g), b) / 255.0f;
        const float pixelSaturation = max > 0 ? (max - std::min(std::min(r, g), b) / 255.0f) / max : 0.0f;
        const float factor = static_cast<float>(vibrance) * 0.009f * (1.0f - pixelSaturation) + 1.0f;
        const float luminance = 0.2126f * r + 0.7152f * g + 0.0722f * b;
        r = luminance + (r - luminance) * factor;
        g = luminance + (g - luminance) * factor;
        b = luminance + (b - luminance) * factor;
    }
    return {roundedByte(r), roundedByte(g), roundedByte(b)};
}

} // namespace sorvin
