#include "engine/clipping_warning_analyzer.hpp"

#include <cstring>

namespace sorvin {

SharedImage ClippingWarningAnalyzer::makeMask(const HistogramPixelData& pixels) {
    if (pixels.width < 1 || pixels.height < 1 || !pixels.pixels) return nullptr;
    if (pixels.pixels->width() < pixels.width || pixels.pixels->height() < pixels.height ||
        pixels.bytesPerRow < 4 * static_cast<std::size_t>(pixels.width) ||
        pixels.bytesPerRow * static_cast<std::size_t>(pixels.height - 1) +
                4 * static_cast<std::size_t>(pixels.width) >
            pixels.pixels->byteCount()) {
        return nullptr;
    }
    PixelBuffer mask(pixels.width, pixels.height);
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint8_t* in = pixels.row(y);
        std::uint8_t* out = mask.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint8_t r = in[4 * x], g = in[4 * x + 1], b = in[4 * x + 2];
            if (r >= kHighlightThreshold && g >= kHighlightThreshold && b >= kHighlightThreshold) {
                std::memcpy(out + 4 * x, kHighlightColor, 4);
            } else if (r <= kShadowThreshold && g <= kShadowThreshold && b <= kShadowThreshold) {
                std::memcpy(out + 4 * x, kShadowColor, 4);
            }
        }
    }
    return makeImage(std::move(mask));
}

} // namespace sorvin
