#include "canvas/crop_guide_geometry.hpp"

#include "canvas/plane_math.hpp"
#include "model/photo_rotation.hpp"

#include <climits>
#include <cmath>
#include <numbers>

namespace sorvin {

namespace {

// Rounded half away from zero, at least 1.
int wholePixels(double value) {
    if (!(value >= 1)) return 1;
    return value >= INT_MAX ? INT_MAX : static_cast<int>(std::round(value));
}

} // namespace

Point CropGuideGeometry::center() const {
    return {areaSize.width / 2 + offset.width, areaSize.height / 2 + offset.height};
}

Rect CropGuideGeometry::remainingRect() const {
    const int w = wholePixels(sourceSize.width);
    const int h = wholePixels(sourceSize.height);
    const PixelSize output = PhotoRotation::outputSize(w, h, rotation);
    const ManualCropGeometry g = crop.geometry(output.width, output.height);
    const double k = fittedImageSize.width / w * zoomScale;
    const Point c = center();
    return {c.x - k * output.width / 2 + k * g.x, c.y - k * output.height / 2 + k * g.y, k * g.width,
            k * g.height};
}

std::array<Point, 4> CropGuideGeometry::rotatedPhotoPolygon() const {
    const double hw = fittedImageSize.width * zoomScale / 2;
    const double hh = fittedImageSize.height * zoomScale / 2;
    const double t = rotation * std::numbers::pi / 180;
    const Point c = center();
    const auto corner = [&](double x, double y) { return plane::add(c, plane::rotated({x, y}, t)); };
    return {corner(-hw, -hh), corner(hw, -hh), corner(hw, hh), corner(-hw, hh)};
}

std::array<MaskGuideSegment, 4> CropGuideGeometry::gridLines() const {
    const Rect r = remainingRect();
    const double x1 = r.minX() + r.width / 3;
    const double x2 = r.minX() + 2 * r.width / 3;
    const double y1 = r.minY() + r.height / 3;
    const double y2 = r.minY() + 2 * r.height / 3;
    return {
        MaskGuideSegment{{x1, r.minY()}, {x1, r.maxY()}}, MaskGuideSegment{{x2, r.minY()}, {x2, r.maxY()}},
        MaskGuideSegment{{r.minX(), y1}, {r.maxX(), y1}}, MaskGuideSegment{{r.minX(), y2}, {r.maxX(), y2}}};
}

} // namespace sorvin
