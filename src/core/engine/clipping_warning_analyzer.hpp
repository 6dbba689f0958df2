#pragma once

#include "engine/histogram_pixel_data.hpp"
#include "platform/image.hpp"

#include <cstdint>

namespace sorvin {

// The clipping warning's mask: opaque red where all three channels are at the top of the 8-bit
// range, opaque blue where all three are at the bottom, transparent elsewhere. The thresholds are
// 254 and 1, so a pixel one step from the limit counts as clipped.
struct ClippingWarningAnalyzer {
    static constexpr std::uint8_t kHighlightThreshold = 254;
    static constexpr std::uint8_t kShadowThreshold = 1;
    static constexpr std::uint8_t kHighlightColor[4] = {255, 69, 58, 255};
    static constexpr std::uint8_t kShadowColor[4] = {10, 132, 255, 255};

    // A mask of the pixels' size; none when they are missing or empty.
    static SharedImage makeMask(const HistogramPixelData& pixels);
};

} // namespace sorvin
