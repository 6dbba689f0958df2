#pragma once

#include "canvas/mask_overlay_models.hpp"
#include "model/manual_crop.hpp"
#include "platform/geometry.hpp"

#include <array>

namespace sorvin {

// Where the crop guide and the clipping warning lie over the photo: the photo's rotated outline
// and the axis-aligned rectangle the rotation and the crop keep.
struct CropGuideGeometry {
    Size areaSize;
    Size sourceSize;      // pixels of the displayed photo before rotation and crop
    Size fittedImageSize; // points of the unrotated photo at zoom 1
    double rotation = 0;  // degrees
    ManualCrop crop;
    double zoomScale = 1;
    Size offset; // where the photo's centre lies relative to the area's centre

    friend bool operator==(const CropGuideGeometry&, const CropGuideGeometry&) = default;

    Point center() const;
    Rect remainingRect() const;
    std::array<Point, 4> rotatedPhotoPolygon() const;
    // Two vertical, then two horizontal lines dividing the kept rectangle into thirds.
    std::array<MaskGuideSegment, 4> gridLines() const;
};

} // namespace sorvin
