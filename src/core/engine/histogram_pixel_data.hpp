#pragma once

#include "platform/image.hpp"

#include <cstddef>
#include <optional>

namespace sorvin {

// The 8-bit RGBA pixels of a developed picture (premultiplied, sRGB, row 0 on top) that the
// histogram and the clipping mask both read. Images are immutable and shared, so the pixels are
// the image's own and nothing is copied.
struct HistogramPixelData {
    int width = 0;
    int height = 0;
    std::size_t bytesPerRow = 0;
    SharedImage pixels;

    const std::uint8_t* row(int y) const {
        return pixels->data() + bytesPerRow * static_cast<std::size_t>(y);
    }

    // None for a missing image.
    static std::optional<HistogramPixelData> make(const SharedImage& image);
};

} // namespace sorvin
