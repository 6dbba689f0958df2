#pragma once

#include "platform/image.hpp"

namespace sorvin {

// Brings a decoded photo down to display size before a preview is developed.
struct DisplayAdjustmentResolution {
    // The image scaled so that its long edge is longEdge, with a high-quality filter; the image
    // itself when it is not larger than that (never enlarged); none for an empty request or when the
    // bitmap cannot be had.
    static SharedImage resized(const SharedImage& image, int longEdge);
};

} // namespace sorvin
