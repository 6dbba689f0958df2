#include "model/mask_weight_plan.hpp"

#include "model/development_placement.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

namespace sorvin {

std::optional<CircularMaskPlan> CircularMaskPlan::makeIgnoringAmount(const PhotoParameters& parameters,
                                                                     int width, int height) {
    if (width < 1 || height < 1) return std::nullopt;
    auto value = [&](PhotoParameter p) { return static_cast<double>(parameters[p]); };
    CircularMaskPlan plan;
    plan.amount = value(PhotoParameter::circular_mask_amount) / 100;
    plan.inversion = value(PhotoParameter::circular_mask_invert) / 100;
    plan.centerX = value(PhotoParameter::circular_mask_center_x) / 1000 * width;
    plan.centerY = value(PhotoParameter::circular_mask_center_y) / 1000 * height;
    plan.radius = value(PhotoParameter::circular_mask_size) / 100 * std::min(width, height) * 0.5;
    const double ratio = std::pow(2.0, value(PhotoParameter::circular_mask_aspect) / 100);
    plan.axisA = plan.radius * ratio;
    plan.axisB = plan.radius / ratio;
    const double theta = value(PhotoParameter::circular_mask_angle) / 100 * std::numbers::pi * 0.5;
    plan.cosine = std::cos(theta);
    plan.sine = std::sin(theta);
    plan.feather = value(PhotoParameter::circular_mask_feather) / 100;
    return plan;
}

std::optional<LinearMaskPlan> LinearMaskPlan::makeIgnoringAmount(const PhotoParameters& parameters, int width,
                                                                 int height) {
    if (width < 1 || height < 1) return std::nullopt;
    auto value = [&](PhotoParameter p) { return static_cast<double>(parameters[p]); };
    LinearMaskPlan plan;
    plan.amount = value(PhotoParameter::linear_mask_amount) / 100;
    plan.inversion = value(PhotoParameter::linear_mask_invert) / 100;
    const double theta = value(PhotoParameter::linear_mask_angle) / 100 * std::numbers::pi;
    plan.cosine = std::cos(theta);
    plan.sine = std::sin(theta);
    const double w = width;
    const double h = height;
    plan.referenceLength = std::sqrt(w * w + h * h) * 0.5;
    plan.centerX = w / 2;
    plan.centerY = h / 2;
    plan.position = 2 * value(PhotoParameter::linear_mask_position) / 100 - 1;
    plan.width = value(PhotoParameter::linear_mask_width) / 100;
    return plan;
}

double MaskWeightPlan::weight(int x, int y) const {
    return std::visit(
        [x, y](const auto& plan) {
            if constexpr (std::is_same_v<std::decay_t<decltype(plan)>, Custom>) {
                return plan(x, y);
            } else {
                return plan.weight(x, y);
            }
        },
        implementation);
}

MaskWeightPlan MaskWeightPlan::placed(const DevelopmentPlacement& placement) const {
    MaskWeightPlan moved{kind, implementation};
    const PlaneTurn turn = PlaneTurn::of(placement.turn);
    std::visit(
        [&](auto& plan) {
            if constexpr (std::is_same_v<std::decay_t<decltype(plan)>, Custom>) {
                plan = [weight = std::move(plan), placement](int x, int y) {
                    const Point p = placement.photoPoint({x + 0.5, y + 0.5});
                    return weight(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)));
                };
            } else {
                const Point centre = placement.bitmapPoint({plan.centerX, plan.centerY});
                plan.centerX = centre.x;
                plan.centerY = centre.y;
                if (!turn.isNone()) {
                    const PlaneTurn direction = turn.after(PlaneTurn{plan.cosine, plan.sine});
                    plan.cosine = direction.cosine;
                    plan.sine = direction.sine;
                }
            }
        },
        moved.implementation);
    return moved;
}

} // namespace sorvin
