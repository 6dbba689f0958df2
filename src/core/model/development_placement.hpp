#pragma once

#include "model/manual_crop.hpp"
#include "model/plane_turn.hpp"
#include "platform/geometry.hpp"

namespace sorvin {

// Where a developed bitmap lies in the whole photo it is a part of. The screen develops the whole
// photo and turns and crops it when drawing; an export develops only its crop (cut from the upright
// photo under whole quarter turns, else from the turned one), the loupe a small region. Every stage
// that takes a place or a size (masks, detail radii, grain cells, the vignette) reads them from here
// instead of from the bitmap, so that all of them show the same picture. The whole photo is the
// upright picture with its lens geometry, neither turned nor cropped; the finished picture is its
// crop after the photo's rotation. Coordinates are continuous (pixel x covers [x, x + 1)) and in
// pixels at the bitmap's scale.
struct DevelopmentPlacement {
    int photoWidth = 0;
    int photoHeight = 0;
    // The photo point at the bitmap's corner (0, 0), and the turn (degrees, clockwise on screen)
    // that brings the photo's axes onto the bitmap's.
    Point origin;
    double turn = 0;
    // The finished picture: its centre in the photo, its size, and the turn of its axes.
    Point pictureCenter;
    Size pictureSize;
    double pictureTurn = 0;

    // A bitmap that is the whole photo, whose finished picture is the crop of the photo turned by
    // `rotation` (what the screen develops).
    static DevelopmentPlacement ofWholePhoto(int width, int height, double rotation, const ManualCrop& crop);
    // A bitmap cut from the photo (upright size given) turned by `rotation` as
    // PhotoRotation::transformedImage turns it: its rectangle `part` in the turned picture's pixels,
    // and the finished picture's rectangle there (what an export develops).
    static DevelopmentPlacement ofTurnedPart(int uprightWidth, int uprightHeight, double rotation,
                                             const Rect& part, const Rect& picture);
    // The same pixels before the bitmap's quarter turns (its size given): the upright part of the
    // photo they come from, which turned by `turn` gives this bitmap. Whole quarter turns only.
    DevelopmentPlacement unturned(int width, int height) const;
    // The pixels of the bitmap from (x, y) on, as a bitmap of their own.
    DevelopmentPlacement part(int x, int y) const;
    // The bitmap drawn at `factor` times its size (the photo's size rounded to whole pixels).
    DevelopmentPlacement scaled(double factor) const;

    Point photoPoint(Point bitmapPoint) const;
    Point bitmapPoint(Point photoPoint) const;

    bool operator==(const DevelopmentPlacement&) const = default;
};

} // namespace sorvin
