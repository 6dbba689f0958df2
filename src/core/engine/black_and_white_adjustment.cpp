#include "engine/black_and_white_adjustment.hpp"

#include "engine/pixel_rounding.hpp"

#include <algorithm>

namespace sorvin {

const BlackAndWhiteAdjustmentPlan BlackAndWhiteAdjustmentPlan::zero{};

BlackAndWhiteAdjustmentPlan BlackAndWhiteAdjustment::makePlan(int amount,
                                                              const std::array<int, 8>& colorValues) {
    BlackAndWhiteAdjustmentPlan plan;
    plan.amount = static_cast<float>(amount) / 100.0f;
    for (int k = 0; k < 8; ++k)
        plan.weights[k] = static_cast<float>(colorValues[k]) / 100.0f * 0.8f + 1.0f;
    plan.uniformWeight = plan.weights[0];
    plan.isUniform = std::all_of(plan.weights.begin(), plan.weights.end(),
                                 [&](float w) { return w == plan.uniformWeight; });
    return plan;
}

RgbBytes BlackAndWhiteAdjustment::perPixel(RgbBytes pixel, const BlackAndWhiteAdjustmentPlan& plan) {
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
            const float scaledMax = max / 255.0f;
            const float scaledDelta = scaledMax - min / 255.0f;
            weight = HueSectors::interpolate(
                plan.weights, HueSectors::hue(r / 255.0f, g / 255.0f, b / 255.0f, scaledMax, scaledDelta));
        }
        grey = std::clamp(luminance * ((max - min) / max * (weight - 1.0f) + 1.0f), 0.0f, 255.0f);
    }
    if (plan.amount == 1.0f) {
        const std::uint8_t value = PixelRounding::byte(grey);
        return {value, value, value};
    }
    const float amount = plan.amount;
    return {PixelRounding::byte(amount * (grey - r) + r), PixelRounding::byte(amount * (grey - g) + g),
            PixelRounding::byte(amount * (grey - b) + b)};
}

} // namespace sorvin
