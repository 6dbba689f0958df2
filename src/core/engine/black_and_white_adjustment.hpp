#pragma once

#include "engine/byte_rounding.hpp"
#include "engine/hue_sectors.hpp"
#include "engine/rgb_bytes.hpp"

#include <algorithm>
#include <optional>

namespace sorvin {

class PhotoParameters;

// How far to go to grey (0...1) and how bright each colour turns (0.2...1.8).
struct BlackAndWhiteAdjustmentPlan {
    float amount = 0;
    HueSectors::PerColor weights{1, 1, 1, 1, 1, 1, 1, 1};
    bool isUniform = true;
    float uniformWeight = 1;

    static const BlackAndWhiteAdjustmentPlan zero;
    bool operator==(const BlackAndWhiteAdjustmentPlan&) const = default;
};

struct BlackAndWhiteAdjustment {
    // None when blackwhite_amount is 0.
    static std::optional<BlackAndWhiteAdjustmentPlan> plan(const PhotoParameters& parameters);

    // The plan from the amount and the eight colour values as stored (-100...100).
    static BlackAndWhiteAdjustmentPlan makePlan(int amount, const std::array<int, 8>& colorValues);

    // The pixel mixed towards its weighted grey; unchanged when the amount is 0.
    static RgbBytes perPixel(RgbBytes pixel, const BlackAndWhiteAdjustmentPlan& plan);
};

// Inline: the first sweep calls it for every pixel.
inline RgbBytes BlackAndWhiteAdjustment::perPixel(RgbBytes pixel, const BlackAndWhiteAdjustmentPlan& plan) {
    if (plan.amount == 0) return pixel;
    const float r = pixel.red;
    const float g = pixel.green;
    const float b = pixel.blue;
    const float luminance = 0.2126f * r + 0.7152f * g + 0.0722f * b;
    const float max = std::max(std::max(r, g), b);
    const float min = std::min(std::min(r, g), b);
    float grey = luminance;
    if (max - min != 0) {
        float weight = plan.uniformWeight;
        if (!plan.isUniform) {
            // The hue is taken on the 0...1 scale, as the colour mixer takes it.
            const float ur = unitChannel(pixel.red);
            const float ug = unitChannel(pixel.green);
            const float ub = unitChannel(pixel.blue);
            const float unitMax = std::max(std::max(ur, ug), ub);
            const float unitDelta = unitMax - std::min(std::min(ur, ug), ub);
            weight = HueSectors::interpolate(plan.weights, HueSectors::hue(ur, ug, ub, unitMax, unitDelta));
        }
        grey = std::clamp(luminance * ((max - min) / max * (weight - 1.0f) + 1.0f), 0.0f, 255.0f);
    }
    if (plan.amount == 1.0f) {
        const std::uint8_t value = roundedByte(grey);
        return {value, value, value};
    }
    const float amount = plan.amount;
    return {roundedByte(amount * (grey - r) + r), roundedByte(amount * (grey - g) + g),
            roundedByte(amount * (grey - b) + b)};
}

} // namespace sorvin
