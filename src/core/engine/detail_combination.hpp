#pragma once

#include "engine/detail_adjustment.hpp"

#include <cstdint>

namespace sorvin {

// The per-pixel combination of the detail stage over one row: colour noise, then luminance detail
// (texture and clarity, luminance noise, sharpening), then dehaze.
struct DetailCombination {
    // Four pixels at a time where the processor has AVX2, with the same double arithmetic in the
    // same order as the one-pixel path, so both give the same bytes.
    static void applyRow(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                         const DetailPlanes& planes);
    static void applyRowOneByOne(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                                 const DetailPlanes& planes);
    static bool hasVectorPath();
};

} // namespace sorvin
