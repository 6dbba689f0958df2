#include "engine/black_and_white_adjustment.hpp"

#include "model/photo_parameters.hpp"

#include <algorithm>

namespace sorvin {

const BlackAndWhiteAdjustmentPlan BlackAndWhiteAdjustmentPlan::zero{};

std::optional<BlackAndWhiteAdjustmentPlan> BlackAndWhiteAdjustment::plan(const PhotoParameters& parameters) {
    using P = PhotoParameter;
    const int amount = parameters[P::blackwhite_amount];
    if (amount == 0) return std::nullopt;
    return makePlan(amount, {parameters[P::blackwhite_red], parameters[P::blackwhite_orange],
                             parameters[P::blackwhite_yellow], parameters[P::blackwhite_green],
                             parameters[P::blackwhite_aqua], parameters[P::blackwhite_blue],
                             parameters[P::blackwhite_purple], parameters[P::blackwhite_magenta]});
}

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

} // namespace sorvin
