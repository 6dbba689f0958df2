#include "engine/mask_blend.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/mask_weight_plan.hpp"

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

void MaskBlend::blendRow(const MaskWeightPlan& plan, int y, const std::uint8_t* base, std::uint8_t* developed,
                         int width) {
    // One dispatch per row; the weight itself is computed per pixel centre.
    std::visit(
        [&](const auto& implementation) {
            for (int x = 0; x < width; ++x) {
                const double w = weightAt(implementation, x, y);
                const std::uint8_t* s = base + 4 * x;
                std::uint8_t* d = developed + 4 * x;
                for (int c = 0; c < 3; ++c)
                    d[c] = roundedByte(s[c] + w * (d[c] - s[c]));
            }
        },
        plan.implementation);
}

} // namespace sorvin
