#include "engine/mask_blend.hpp"

#include "engine/byte_rounding.hpp"
#include "model/mask_weight_plan.hpp"

#include <variant>

namespace sorvin {

namespace {

double weightAt(const CircularMaskPlan& plan, int x, int y) {
    return plan.weight(x, y);
}
double weightAt(const LinearMaskPlan& plan, int x, int y) {
    return plan.weight(x, y);
}
double weightAt(const MaskWeightPlan::Custom& weight, int x, int y) {
    return weight(x, y);
}

} // namespace

void MaskBlend::rowWeights(const MaskWeightPlan& plan, int y, std::span<double> weights) {
    // One dispatch per row; the weight itself is taken at each pixel centre.
    std::visit(
        [&](const auto& implementation) {
            for (std::size_t x = 0; x < weights.size(); ++x)
                weights[x] = weightAt(implementation, static_cast<int>(x), y);
        },
        plan.implementation);
}

MaskBlend::Span MaskBlend::nonZeroSpan(std::span<const double> weights) {
    int begin = 0;
    int end = static_cast<int>(weights.size());
    while (begin < end && weights[begin] == 0)
        ++begin;
    while (end > begin && weights[end - 1] == 0)
        --end;
    return {begin, end};
}

void MaskBlend::blend(std::span<const double> weights, const std::uint8_t* base, std::uint8_t* developed,
                      int begin, int end) {
    for (int x = begin; x < end; ++x) {
        const double w = weights[x];
        const std::uint8_t* s = base + 4 * x;
        std::uint8_t* d = developed + 4 * x;
        for (int c = 0; c < 3; ++c)
            d[c] = roundedByte(s[c] + w * (d[c] - s[c]));
    }
}

} // namespace sorvin
