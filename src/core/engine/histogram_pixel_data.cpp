#include "engine/histogram_pixel_data.hpp"

namespace sorvin {

std::optional<HistogramPixelData> HistogramPixelData::make(const SharedImage& image) {
    if (!image || image->width() < 1 || image->height() < 1) return std::nullopt;
    return HistogramPixelData{image->width(), image->height(), image->bytesPerRow(), image};
}

} // namespace sorvin
