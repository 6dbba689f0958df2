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
};

} // namespace sorvin
