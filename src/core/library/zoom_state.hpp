#pragma once

#include "platform/geometry.hpp"

namespace sorvin {

// Magnification and pan offset of the photo canvas. Scale 1 shows the photo fitted into the view;
// the offset (in view points) moves the magnified picture.
struct ZoomState {
    double scale = 1;
    Size offset;

    // Moves the picture by delta without letting it be dragged away from the view: on each axis the
    // offset stays within half of what the magnified picture exceeds the view by. At scale 1 or
    // less the offset is zero.
    void pan(Size delta, Size viewportSize, Size fittedImageSize);

    friend bool operator==(const ZoomState&, const ZoomState&) = default;
};

} // namespace sorvin
