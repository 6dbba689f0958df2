#include "engine/color_adjustment.hpp"

#include "model/photo_parameters.hpp"

namespace sorvin {

const ColorAdjustmentPlan ColorAdjustmentPlan::zero{};

std::optional<ColorAdjustmentPlan> ColorAdjustment::plan(const PhotoParameters& parameters) {
    using P = PhotoParameter;
    // The hue, saturation and luminance pages, colours in mixer order.
    static constexpr std::array<P, 8> kHue{P::hue_red,  P::hue_orange, P::hue_yellow, P::hue_green,
                                           P::hue_aqua, P::hue_blue,   P::hue_purple, P::hue_magenta};
    static constexpr std::array<P, 8> kSaturation{
        P::saturation_red,  P::saturation_orange, P::saturation_yellow, P::saturation_green,
        P::saturation_aqua, P::saturation_blue,   P::saturation_purple, P::saturation_magenta};
    static constexpr std::array<P, 8> kLuminance{
        P::luminance_red,  P::luminance_orange, P::luminance_yellow, P::luminance_green,
        P::luminance_aqua, P::luminance_blue,   P::luminance_purple, P::luminance_magenta};
    ColorAdjustmentPlan plan;
    for (std::size_t k = 0; k < 8; ++k) {
        plan.hue[k] = static_cast<float>(parameters[kHue[k]]);
        plan.saturation[k] = static_cast<float>(parameters[kSaturation[k]]);
        plan.luminance[k] = static_cast<float>(parameters[kLuminance[k]]);
    }
    if (plan == ColorAdjustmentPlan::zero) return std::nullopt;
    return plan;
}

} // namespace sorvin
