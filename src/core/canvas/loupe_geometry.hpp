#pragma once

#include "engine/cancellation_probe.hpp"
#include "model/development_placement.hpp"
#include "model/manual_crop.hpp"
#include "platform/geometry.hpp"
#include "platform/image.hpp"

#include <optional>

namespace sorvin {

class PhotoParameters;

// What decides whether the loupe shows, read from the application and the canvas at one redraw.
struct LoupeVisibility {
    bool loupeOn = false;
    bool modalPresented = false;
    double zoomScale = 1;
    bool hasImage = false;
    bool sourceLoading = false;
    bool pointerInside = false;
    bool cropInsideOnly = false;
    Point pointer;
    Rect imageRect;
    Rect visibleCropRect;
    double rotation = 0;

    bool shouldShow() const;
};

// The part of the source image under the pointer that the loupe shows five times larger than the
// canvas shows the photo, and where it goes inside the loupe square.
struct LoupeGeometry {
    static constexpr double kMagnification = 5;
    // The square's corners, and its shadow: black at this opacity, blurred over this radius,
    // this far down.
    static constexpr double kCornerRadius = 8;
    static constexpr double kShadowOpacity = 0.5;
    static constexpr double kShadowBlurRadius = 12;
    static constexpr double kShadowOffsetY = 4;

    int imageWidth = 0;
    int imageHeight = 0;
    double rotation = 0;
    double side = 0;
    double u = 0; // the pointer's relative position on the unrotated photo
    double v = 0;
    double pixelsPerPoint = 0;
    std::optional<Rect> region; // whole source pixels; none when empty

    friend bool operator==(const LoupeGeometry&, const LoupeGeometry&) = default;

    static LoupeGeometry make(int imageWidth, int imageHeight, Size fittedSize, const Rect& imageRect,
                              Point cursor, double rotation, double side);

    // The pointer turned back by the rotation about the image rect's centre.
    static Point turnedBack(Point cursor, const Rect& imageRect, double rotation);

    // Points per source pixel inside the loupe.
    double displayScale() const;
    // Where the region image's centre lies relative to the loupe's centre, in points.
    Point regionCenterOffset() const;
    // Where the pixels from (x, y) on lie in the whole photo, and where its crop lies.
    DevelopmentPlacement placement(const ManualCrop& crop, int x, int y) const;
};

struct LoupeRenderer {
    // The source pixels developed for the geometry's region: the region and as much of the photo
    // around it as the development reads; none when the region is empty.
    static std::optional<Rect> developedRect(const PhotoParameters& parameters,
                                             const LoupeGeometry& geometry);
    // The region developed with the displayed parameters as the whole photo's development has it;
    // none when the region is empty, a step fails or the work is given up. Only the region is
    // developed, with as much of the photo around it as the development reads.
    static SharedImage render(const SharedImage& source, const PhotoParameters& parameters,
                              const LoupeGeometry& geometry, const ManualCrop& crop,
                              const CancellationProbe& isCancelled = neverCancelled());
    // The whole source developed as the screen develops its photo, at the source's own size, for
    // every region to be cut from; none when a step fails or the work is given up.
    static SharedImage renderWhole(const SharedImage& source, const PhotoParameters& parameters,
                                   double rotation, const ManualCrop& crop,
                                   const CancellationProbe& isCancelled = neverCancelled());
    // The geometry's region of the whole development; none when the region is empty.
    static SharedImage regionOf(const SharedImage& whole, const LoupeGeometry& geometry);
};

} // namespace sorvin
