#pragma once

#include <cstdint>

namespace sorvin {

struct MaskWeightPlan;

// The last step of a mask pass: each colour byte goes from the pass's input toward its developed
// value by the mask's weight at the pixel. Alpha is left as it is.
struct MaskBlend {
    static void blendRow(const MaskWeightPlan& plan, int y, const std::uint8_t* base, std::uint8_t* developed,
                         int width);
};

} // namespace sorvin
