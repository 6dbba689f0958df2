#pragma once

#include "platform/geometry.hpp"

namespace sorvin {

// How the canvas places the displayed image on screen: image pixels of a W x H bitmap go into the
// fitted rectangle (unrotated, unzoomed), are zoomed and turned about its centre and then shifted.
struct MaskViewMapping {
    Rect fittedRect;
    double zoomScale = 1;
    double rotationRadians = 0;
    Size shift;
    int imageWidth = 0;
    int imageHeight = 0;

    Point fittedCenter() const { return {fittedRect.midX(), fittedRect.midY()}; }
    double scaleX() const { return fittedRect.width / imageWidth; }
    double scaleY() const { return fittedRect.height / imageHeight; }
    // The view point of an image pixel point.
    Point map(Point pixel) const;
    // A point of the view carried back to the unzoomed, unrotated fitted image, given the view's
    // centre and the zoom read at this moment.
    Point unmapToFitted(Point viewPoint, Point viewCenter, double zoom, Size offset) const;

    friend bool operator==(const MaskViewMapping&, const MaskViewMapping&) = default;
};

} // namespace sorvin
