#pragma once

#include "platform/image.hpp"

namespace sorvin {

// Draws a decoded image upright by its EXIF orientation. Orientations 2-8 are exact pixel
// permutations (mirrors and quarter turns); any other value returns the same image.
struct OrientationTransform {
    // Stored w x h gives w x h for orientations 2-4 and h x w for 5-8. None when no bitmap can
    // be made.
    static SharedImage transformedImage(const SharedImage& image, int orientation);
};

} // namespace sorvin
