#pragma once

#include "platform/image.hpp"

namespace sorvin {

// High-quality resizing of premultiplied RGBA bitmaps with a separable Lanczos-3 filter (widened
// by the reduction factor when shrinking, so every source pixel contributes). Fixed-point weights,
// rows in parallel. Colour channels never exceed alpha afterwards, so the result stays a valid
// premultiplied bitmap despite the filter's negative lobes.
struct LanczosResampler {
    static constexpr int kLobes = 3;

    // The image at exactly width x height; the same image when the size is already that; none for
    // a size below 1 or when the bitmap cannot be made.
    static SharedImage resized(const SharedImage& image, int width, int height);

    // A part of the source in its pixel coordinates (edges, not centres), which may fall between
    // pixels; the filter still reads the pixels around it.
    struct SourceWindow {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
    };
    // That part of the image drawn at exactly width x height; none for a window outside the image.
    static SharedImage resized(const SharedImage& image, const SourceWindow& window, int width, int height);
};

} // namespace sorvin
