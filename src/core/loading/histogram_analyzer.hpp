#pragma once

#include "engine/histogram_pixel_data.hpp"
#include "loading/histogram_data.hpp"
#include "platform/image.hpp"

#include <cstddef>
#include <cstdint>

namespace sorvin {

// Counts the channels of an 8-bit RGBA picture into a histogram. A pixel is black-clipped when any
// of R, G, B is 0 and white-clipped when any is 255 (a pixel can be both).
struct HistogramAnalyzer {
    // Rows of 4-byte pixels, the fourth byte ignored. The empty histogram without pixels.
    static HistogramData analyze(const std::uint8_t* pixels, int width, int height, std::size_t bytesPerRow);
    static HistogramData analyze(const SharedImage& image);
    static HistogramData analyze(const HistogramPixelData& pixels);
};

} // namespace sorvin
