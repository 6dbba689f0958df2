#pragma once

#include "engine/hue_sectors.hpp"
#include "engine/rgb_bytes.hpp"

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
    static std::uint8_t roundedByte(float value);
};

} // namespace sorvin
