#include "export/export_long_edge.hpp"

#include "platform/lanczos_resampler.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

int ExportLongEdge::clampedLimit(int limit) {
    return std::clamp(limit, kMinimum, kMaximum);
}

std::optional<int> ExportLongEdge::clampedLimit(std::optional<int> limit) {
    if (!limit) return std::nullopt;
    return clampedLimit(*limit);
}

PixelSize ExportLongEdge::outputSize(int width, int height, int maximumLongEdge) {
    const int w = std::max(width, 1);
    const int h = std::max(height, 1);
    const int limit = clampedLimit(maximumLongEdge);
    if (limit >= std::max(w, h)) return {w, h};
    if (height > w) {
        const double scaled = std::round(static_cast<double>(w) * limit / h);
        return {std::max(static_cast<int>(scaled), 1), limit};
    }
    const double scaled = std::round(static_cast<double>(h) * limit / w);
    return {limit, std::max(static_cast<int>(scaled), 1)};
}

SharedImage ExportLongEdge::resizedImage(const SharedImage& image, std::optional<int> maximumLongEdge) {
    if (!image) return nullptr;
    if (!maximumLongEdge) return image;
    const auto size = outputSize(image->width(), image->height(), *maximumLongEdge);
    if (size.width == image->width() && size.height == image->height()) return image;
    return LanczosResampler::resized(image, size.width, size.height);
}

} // namespace sorvin
