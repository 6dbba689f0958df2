#pragma once

#include "model/manual_crop.hpp"
#include "platform/image.hpp"

namespace sorvin {

struct PhotoEditGeometry {
    // The image cut to the crop's rectangle for the image's own size; the same image when the
    // crop covers all of it, none when no bitmap can be made.
    static SharedImage croppedImage(const SharedImage& image, const ManualCrop& crop);
};

} // namespace sorvin
