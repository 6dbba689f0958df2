#pragma once

#include "platform/image.hpp"

namespace sorvin {

// Copies of rectangular parts of an image.
struct ImageRegion {
    // The pixels of (x, y, width, height) cut to the image; none when nothing of it lies inside.
    static SharedImage copy(const SharedImage& image, int x, int y, int width, int height);
};

} // namespace sorvin
