#pragma once

#include <cstdint>
#include <span>

namespace sorvin {

struct MaskWeightPlan;

// The last step of a mask pass: each colour byte goes from the pass's input toward its developed
// value by the mask's weight at the pixel. Alpha is left as it is.
struct MaskBlend {
    // The weights of row y at the pixel centres, one per column.
    static void rowWeights(const MaskWeightPlan& plan, int y, std::span<double> weights);

    // The columns [begin, end) outside which every weight of the row is 0; begin == end when all are.
    // A pixel of weight 0 keeps its input bytes exactly, so the pass need not develop it.
    struct Span {
        int begin = 0;
        int end = 0;
    };
    static Span nonZeroSpan(std::span<const double> weights);

    // Blends the columns [begin, end) of a developed row against the input row.
    static void blend(std::span<const double> weights, const std::uint8_t* base, std::uint8_t* developed,
                      int begin, int end);
};

} // namespace sorvin
