#include "canvas/loupe_geometry.hpp"

#include "canvas/plane_math.hpp"
#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "loading/preview_development.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "platform/image_region.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sorvin {

namespace {

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

} // namespace

Point LoupeGeometry::turnedBack(Point cursor, const Rect& imageRect, double rotation) {
    const double t = radians(rotation);
    const double cx = imageRect.midX();
    const double cy = imageRect.midY();
    const double dx = cursor.x - cx;
    const double dy = cursor.y - cy;
    return {cx + dx * std::cos(t) + dy * std::sin(t), cy - dx * std::sin(t) + dy * std::cos(t)};
}

bool LoupeVisibility::shouldShow() const {
    if (!loupeOn || modalPresented) return false;
    if (zoomScale != 1) return false;
    if (!hasImage || sourceLoading || !pointerInside) return false;
    if (!plane::contains(imageRect, LoupeGeometry::turnedBack(pointer, imageRect, rotation))) return false;
    return !cropInsideOnly || plane::contains(visibleCropRect, pointer);
}

LoupeGeometry LoupeGeometry::make(int imageWidth, int imageHeight, Size fittedSize, const Rect& imageRect,
                                  Point cursor, double rotation, double side) {
    LoupeGeometry g;
    g.imageWidth = imageWidth;
    g.imageHeight = imageHeight;
    g.rotation = rotation;
    g.side = side;
    const Point local = turnedBack(cursor, imageRect, rotation);
    const double fw = fittedSize.width;
    const double fh = fittedSize.height;
    g.u = fw > 0 ? (local.x - imageRect.minX()) / fw : 0;
    g.v = fh > 0 ? (local.y - imageRect.minY()) / fh : 0;
    g.pixelsPerPoint = fw > 0 ? imageWidth / fw : 0;
    if (!(fw > 0) || imageWidth < 1 || imageHeight < 1 || !(fh > 0) || !(side > 0)) return g;
    const double t = radians(rotation);
    const double q =
        (std::abs(std::cos(t)) + std::abs(std::sin(t))) * g.pixelsPerPoint * (side / kMagnification);
    const double cx = g.u * imageWidth;
    const double cy = g.v * imageHeight;
    if (!std::isfinite(q) || !std::isfinite(cx) || !std::isfinite(cy)) return g;
    const double left = std::max(std::floor(cx - q / 2), 0.0);
    const double top = std::max(std::floor(cy - q / 2), 0.0);
    const double right = std::min(std::ceil(cx + q / 2), static_cast<double>(imageWidth));
    const double bottom = std::min(std::ceil(cy + q / 2), static_cast<double>(imageHeight));
    if (right > left && bottom > top) g.region = Rect{left, top, right - left, bottom - top};
    return g;
}

double LoupeGeometry::displayScale() const {
    return pixelsPerPoint > 0 ? kMagnification / pixelsPerPoint : 0;
}

Point LoupeGeometry::regionCenterOffset() const {
    if (!region) return {};
    const double m = displayScale();
    const Point o{m * (region->midX() - u * imageWidth), m * (region->midY() - v * imageHeight)};
    return plane::rotated(o, radians(rotation));
}

DevelopmentPlacement LoupeGeometry::placement(const ManualCrop& crop, int x, int y) const {
    return DevelopmentPlacement::ofWholePhoto(imageWidth, imageHeight, rotation, crop).part(x, y);
}

std::optional<Rect> LoupeRenderer::developedRect(const PhotoParameters& parameters,
                                                 const LoupeGeometry& geometry) {
    if (!geometry.region) return std::nullopt;
    const Rect& region = *geometry.region;
    const int margin = ParameterAdjustment::reach(
        parameters, std::max(geometry.imageWidth, geometry.imageHeight), MaskKindCatalog::current());
    const int left = std::max(0, static_cast<int>(region.minX()) - margin);
    const int top = std::max(0, static_cast<int>(region.minY()) - margin);
    const int right = std::min(geometry.imageWidth, static_cast<int>(region.maxX()) + margin);
    const int bottom = std::min(geometry.imageHeight, static_cast<int>(region.maxY()) + margin);
    return Rect{static_cast<double>(left), static_cast<double>(top), static_cast<double>(right - left),
                static_cast<double>(bottom - top)};
}

SharedImage LoupeRenderer::render(const SharedImage& source, const PhotoParameters& parameters,
                                  const LoupeGeometry& geometry, const ManualCrop& crop,
                                  const CancellationProbe& isCancelled) {
    const auto developed = developedRect(parameters, geometry);
    if (!source || !developed) return nullptr;
    const int left = static_cast<int>(developed->x), top = static_cast<int>(developed->y);
    SharedImage piece;
    if (!GeometryValues::of(parameters).isNeutral()) {
        piece = GeometryAdjustment::applyingCrop(source, *developed, parameters, true, isCancelled);
    } else {
        piece = ImageRegion::copy(source, left, top, static_cast<int>(developed->width),
                                  static_cast<int>(developed->height));
    }
    if (!piece) return nullptr;
    const SharedImage result = ParameterAdjustment::applying(
        piece, parameters, geometry.placement(crop, left, top), MaskKindCatalog::current(), isCancelled);
    if (!result || *developed == *geometry.region) return result;
    const Rect& region = *geometry.region;
    return ImageRegion::copy(result, static_cast<int>(region.minX()) - left,
                             static_cast<int>(region.minY()) - top, static_cast<int>(region.width),
                             static_cast<int>(region.height));
}

SharedImage LoupeRenderer::renderWhole(const SharedImage& source, const PhotoParameters& parameters,
                                       double rotation, const ManualCrop& crop,
                                       const CancellationProbe& isCancelled) {
    const SharedImage corrected = PreviewDevelopment::withLensGeometry(source, parameters, isCancelled);
    if (!corrected) return nullptr;
    return PreviewDevelopment::engine()(
        corrected, parameters,
        PreviewDevelopment::placement(corrected->width(), corrected->height(), rotation, crop), isCancelled);
}

SharedImage LoupeRenderer::regionOf(const SharedImage& whole, const LoupeGeometry& geometry) {
    if (!whole || !geometry.region) return nullptr;
    const Rect& region = *geometry.region;
    return ImageRegion::copy(whole, static_cast<int>(region.minX()), static_cast<int>(region.minY()),
                             static_cast<int>(region.width), static_cast<int>(region.height));
}

} // namespace sorvin
