#include "canvas/photo_canvas_layout.hpp"

#include "canvas/plane_math.hpp"
#include "model/photo_rotation.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numbers>

namespace sorvin {

PhotoCanvasLayout PhotoCanvasLayout::make(Size area, int imageWidth, int imageHeight, double rotation,
                                          const ManualCrop& crop, bool cropInsideOnly,
                                          const ZoomState& zoom) {
    PhotoCanvasLayout layout;
    layout.area = area;
    layout.imageWidth = imageWidth;
    layout.imageHeight = imageHeight;
    layout.rotation = rotation;
    layout.zoom = zoom;
    const double w = area.width;
    const double h = area.height;
    if (imageWidth >= 1 && imageHeight >= 1 && w > 0 && h > 0) {
        const double iw = imageWidth;
        const double ih = imageHeight;
        if (!cropInsideOnly) {
            const double t = layout.rotationRadians();
            const double c = std::abs(std::cos(t));
            const double s = std::abs(std::sin(t));
            const double k = std::min(w / (c * iw + s * ih), h / (s * iw + c * ih));
            layout.fittedSize = {k * iw, k * ih};
            layout.contentSize = {c * layout.fittedSize.width + s * layout.fittedSize.height,
                                  s * layout.fittedSize.width + c * layout.fittedSize.height};
        } else {
            const PixelSize output = PhotoRotation::outputSize(imageWidth, imageHeight, rotation);
            const ManualCropGeometry g = crop.geometry(output.width, output.height);
            const double k = std::min(w / g.width, h / g.height);
            layout.fittedSize = {k * iw, k * ih};
            layout.centringOffset = {(output.width / 2.0 - (g.width / 2.0 + g.x)) * k,
                                     (output.height / 2.0 - (g.height / 2.0 + g.y)) * k};
            layout.contentSize = {k * g.width, k * g.height};
        }
    }
    const Size& f = layout.fittedSize;
    const Size& c = layout.contentSize;
    layout.imageRect = {(w - f.width) / 2 + layout.centringOffset.width,
                        (h - f.height) / 2 + layout.centringOffset.height, f.width, f.height};
    layout.contentRect = {(w - c.width) / 2, (h - c.height) / 2, c.width, c.height};
    return layout;
}

double PhotoCanvasLayout::rotationRadians() const {
    return rotation * std::numbers::pi / 180;
}

Size PhotoCanvasLayout::imageCentreOffset() const {
    return {zoom.offset.width + centringOffset.width * zoom.scale,
            zoom.offset.height + centringOffset.height * zoom.scale};
}

Point PhotoCanvasLayout::screenPoint(Point pixel) const {
    if (imageWidth < 1 || imageHeight < 1) return areaCenter();
    const Point u{(pixel.x * fittedSize.width / imageWidth - fittedSize.width / 2) * zoom.scale,
                  (pixel.y * fittedSize.height / imageHeight - fittedSize.height / 2) * zoom.scale};
    const Point turned = plane::rotated(u, rotationRadians());
    const Size shift = imageCentreOffset();
    return {area.width / 2 + shift.width + turned.x, area.height / 2 + shift.height + turned.y};
}

MaskViewMapping PhotoCanvasLayout::maskMapping() const {
    return {
        .fittedRect = imageRect,
        .zoomScale = zoom.scale,
        .rotationRadians = rotationRadians(),
        .shift = {zoom.offset.width + centringOffset.width * (zoom.scale - 1),
                  zoom.offset.height + centringOffset.height * (zoom.scale - 1)},
        .imageWidth = imageWidth,
        .imageHeight = imageHeight,
    };
}

PixelSize PhotoCanvasRules::orientedSize(int pixelWidth, int pixelHeight, int orientation) {
    if (orientation >= 5 && orientation <= 8) return {pixelHeight, pixelWidth};
    return {pixelWidth, pixelHeight};
}

bool PhotoCanvasRules::cropStatus(double rotation, const ManualCrop& crop, PixelSize oriented) {
    if (std::abs(PhotoRotation::decomposed(rotation).residual) >= PhotoRotation::kNoRotation) return true;
    const PixelSize output = PhotoRotation::outputSize(oriented.width, oriented.height, rotation);
    return !crop.fillsImage(output.width, output.height);
}

std::optional<std::string> PhotoCanvasRules::remainingText(double rotation, const ManualCrop& crop,
                                                           PixelSize oriented) {
    if (!cropStatus(rotation, crop, oriented)) return std::nullopt;
    const PixelSize output = PhotoRotation::outputSize(oriented.width, oriented.height, rotation);
    const ManualCropGeometry g = crop.geometry(output.width, output.height);
    const double kept = static_cast<double>(g.width) * g.height /
                        (static_cast<double>(std::max(oriented.width, 1)) * std::max(oriented.height, 1));
    return fmt::format("残り {:.1f}%", 100 * std::sqrt(kept));
}

std::vector<std::string> PhotoCanvasRules::statusItems(double zoomScale, double rotation,
                                                       const std::optional<std::string>& remaining) {
    std::vector<std::string> items;
    if (zoomScale != 1.0)
        items.push_back(fmt::format("{}%", static_cast<long long>(std::round(zoomScale * 100))));
    if (auto text = PhotoRotation::displayText(rotation, false)) items.push_back(std::move(*text));
    if (remaining) items.push_back(*remaining);
    return items;
}

double PhotoCanvasRules::loupeSide(Size area) {
    const double shorter = std::min(area.width, area.height);
    if (!(shorter >= 0)) return 0;
    return std::floor(std::min(0.8 * shorter, 600.0));
}

bool PhotoCanvasRules::prefersFullResolution(bool lowMemoryMode, double zoomScale, bool loupeOn) {
    return !lowMemoryMode || zoomScale > 1 || loupeOn;
}

} // namespace sorvin
