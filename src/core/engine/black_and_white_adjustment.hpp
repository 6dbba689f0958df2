#pragma once

#include "engine/hue_sectors.hpp"
#include "engine/rgb_bytes.hpp"

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

} // namespace sorvin
