#include "canvas/mask_view_mapping.hpp"

#include "canvas/plane_math.hpp"

namespace sorvin {

Point MaskViewMapping::map(Point pixel) const {
    const Point m = fittedCenter();
    const Point q{fittedRect.minX() + pixel.x * scaleX(), fittedRect.minY() + pixel.y * scaleY()};
    const Point turned = plane::rotated(plane::scaled(plane::subtract(q, m), zoomScale), rotationRadians);
    return {m.x + turned.x + shift.width, m.y + turned.y + shift.height};
}

Point MaskViewMapping::unmapToFitted(Point viewPoint, Point viewCenter, double zoom, Size offset) const {
    const Point q{viewCenter.x + (viewPoint.x - viewCenter.x - offset.width) / zoom,
                  viewCenter.y + (viewPoint.y - viewCenter.y - offset.height) / zoom};
    const Point m = fittedCenter();
    return plane::add(m, plane::rotated(plane::subtract(q, m), -rotationRadians));
}

} // namespace sorvin
