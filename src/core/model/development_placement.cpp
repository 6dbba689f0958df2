#include "model/development_placement.hpp"

#include "model/photo_rotation.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

// The photo point under a point of the photo turned by `rotation` and cut as PhotoRotation cuts it.
Point photoPointOfTurned(int uprightWidth, int uprightHeight, double rotation, Point turnedPoint) {
    const PixelSize turned = PhotoRotation::outputSize(uprightWidth, uprightHeight, rotation);
    const Point fromCentre = PlaneTurn::of(rotation).inverse().applied(
        {turnedPoint.x - turned.width / 2.0, turnedPoint.y - turned.height / 2.0});
    return {uprightWidth / 2.0 + fromCentre.x, uprightHeight / 2.0 + fromCentre.y};
}

} // namespace

DevelopmentPlacement DevelopmentPlacement::ofWholePhoto(int width, int height, double rotation,
                                                        const ManualCrop& crop) {
    const PixelSize turned = PhotoRotation::outputSize(width, height, rotation);
    const ManualCropGeometry g = crop.geometry(turned.width, turned.height);
    DevelopmentPlacement placement;
    placement.photoWidth = width;
    placement.photoHeight = height;
    placement.pictureCenter =
        photoPointOfTurned(width, height, rotation, {g.x + g.width / 2.0, g.y + g.height / 2.0});
    placement.pictureSize = {static_cast<double>(g.width), static_cast<double>(g.height)};
    placement.pictureTurn = rotation;
    return placement;
}

DevelopmentPlacement DevelopmentPlacement::ofTurnedPart(int uprightWidth, int uprightHeight, double rotation,
                                                        const Rect& part, const Rect& picture) {
    DevelopmentPlacement placement;
    placement.photoWidth = uprightWidth;
    placement.photoHeight = uprightHeight;
    placement.origin = photoPointOfTurned(uprightWidth, uprightHeight, rotation, {part.minX(), part.minY()});
    placement.turn = rotation;
    placement.pictureCenter =
        photoPointOfTurned(uprightWidth, uprightHeight, rotation, {picture.midX(), picture.midY()});
    placement.pictureSize = {picture.width, picture.height};
    placement.pictureTurn = rotation;
    return placement;
}

DevelopmentPlacement DevelopmentPlacement::unturned(int width, int height) const {
    const Point a = photoPoint({0, 0});
    const Point b = photoPoint({static_cast<double>(width), static_cast<double>(height)});
    DevelopmentPlacement upright = *this;
    upright.origin = {std::min(a.x, b.x), std::min(a.y, b.y)};
    upright.turn = 0;
    return upright;
}

DevelopmentPlacement DevelopmentPlacement::part(int x, int y) const {
    DevelopmentPlacement moved = *this;
    moved.origin = photoPoint({static_cast<double>(x), static_cast<double>(y)});
    return moved;
}

DevelopmentPlacement DevelopmentPlacement::scaled(double factor) const {
    DevelopmentPlacement drawn = *this;
    drawn.photoWidth = static_cast<int>(std::lround(photoWidth * factor));
    drawn.photoHeight = static_cast<int>(std::lround(photoHeight * factor));
    drawn.origin = {origin.x * factor, origin.y * factor};
    drawn.pictureCenter = {pictureCenter.x * factor, pictureCenter.y * factor};
    drawn.pictureSize = {pictureSize.width * factor, pictureSize.height * factor};
    return drawn;
}

Point DevelopmentPlacement::photoPoint(Point bitmapPoint) const {
    const Point turned = PlaneTurn::of(turn).inverse().applied(bitmapPoint);
    return {origin.x + turned.x, origin.y + turned.y};
}

Point DevelopmentPlacement::bitmapPoint(Point photoPoint) const {
    return PlaneTurn::of(turn).applied({photoPoint.x - origin.x, photoPoint.y - origin.y});
}

} // namespace sorvin
