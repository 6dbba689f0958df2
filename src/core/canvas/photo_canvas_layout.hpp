#pragma once

#include "canvas/mask_view_mapping.hpp"
#include "library/zoom_state.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_rotation.hpp"
#include "platform/geometry.hpp"

#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// Where the photo lies in the photo area: fitted, rotated, optionally framed to its crop, zoomed
// and panned. Recomputed on every redraw from the area size, the displayed image's pixel size
// (0 x 0 while nothing is decoded), the rotation in degrees, the crop and the zoom.
struct PhotoCanvasLayout {
    Size area;
    int imageWidth = 0;
    int imageHeight = 0;
    double rotation = 0;
    ZoomState zoom;
    Size fittedSize;     // the whole unrotated image at zoom 1
    Size contentSize;    // what is framed at zoom 1: the rotated bounding box, or the crop
    Size centringOffset; // brings the crop's centre to the area's centre in crop-only display
    Rect imageRect;
    Rect contentRect;

    friend bool operator==(const PhotoCanvasLayout&, const PhotoCanvasLayout&) = default;

    static PhotoCanvasLayout make(Size area, int imageWidth, int imageHeight, double rotation,
                                  const ManualCrop& crop, bool cropInsideOnly, const ZoomState& zoom);

    bool hasImage() const { return fittedSize.width > 0 && fittedSize.height > 0; }
    double rotationRadians() const;
    // Where the image centre lies relative to the area's centre on screen.
    Size imageCentreOffset() const;
    Point areaCenter() const { return {area.width / 2, area.height / 2}; }
    // The screen point of a point of the displayed image, in its pixels.
    Point screenPoint(Point pixel) const;
    // The same placement in the form the mask guides take.
    MaskViewMapping maskMapping() const;
};

// The small rules of what the canvas shows beside the photo itself.
struct PhotoCanvasRules {
    // Width and height of a file as shown: swapped for the EXIF orientations with a quarter turn.
    static PixelSize orientedSize(int pixelWidth, int pixelHeight, int orientation);
    // The photo is cut: a fine rotation or a crop smaller than the rotated picture.
    static bool cropStatus(double rotation, const ManualCrop& crop, PixelSize oriented);
    // "残り 50.0%": the share of the original's sides the cut keeps; none when nothing is cut.
    static std::optional<std::string> remainingText(double rotation, const ManualCrop& crop,
                                                    PixelSize oriented);
    // The zoom, rotation and remaining pills of the status strip, left to right.
    static std::vector<std::string> statusItems(double zoomScale, double rotation,
                                                const std::optional<std::string>& remaining);
    static double loupeSide(Size area);
    static bool prefersFullResolution(bool lowMemoryMode, double zoomScale, bool loupeOn);
};

} // namespace sorvin
