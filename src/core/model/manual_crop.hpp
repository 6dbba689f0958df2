#pragma once

#include "model/crop_aspect.hpp"
#include "platform/hash_combine.hpp"

namespace sorvin {

// The measures of one crop in one image size, in pixels and in ten-thousandths of the image.
struct CropFrameMetrics {
    int frameWidth = 0; // largest rectangle of the aspect that fits the image
    int frameHeight = 0;
    int cropWidth = 0;
    int cropHeight = 0;
    int extentXM = 0; // crop width in ten-thousandths of the image width
    int extentYM = 0;

    bool operator==(const CropFrameMetrics&) const = default;
};

// A crop rectangle in pixels, origin at the top-left of the image.
struct ManualCropGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ManualCropGeometry&) const = default;
};

enum class CropDirection { up, down, left, right };

// A crop independent of pixel sizes: an aspect, a size in percent of the largest rectangle of
// that aspect in the image, and the top-left corner in ten-thousandths of the image's sides.
// Every use turns it into pixels for one image size (the photo's size after free rotation), so
// it keeps its meaning at any resolution. Every operation returns a new crop and never fails;
// image sides below 1 count as 1.
struct ManualCrop {
    static constexpr int kMinimumSize = 10;
    static constexpr int kMaximumSize = 100;
    static constexpr int kPositionScale = 10000;
    static constexpr int kMoveStep = 100; // 1 % of the image side

    CropAspect aspect = CropAspect::original();
    int sizeP = kMaximumSize;
    int xM = 0;
    int yM = 0;

    bool operator==(const ManualCrop&) const = default;

    // The uncropped state: original aspect, 100 %, at the top-left corner.
    bool isDefault() const { return *this == ManualCrop{}; }

    // Measures of the crop as held (size not limited), for an image of the given size.
    CropFrameMetrics metrics(int width, int height) const;
    // The crop made valid for the image. The position limits come from the crop as held, so a
    // size raised to the minimum may still reach past an edge; geometry() clamps again.
    ManualCrop clamped(int width, int height) const;
    // The crop rectangle in pixels, always inside the image.
    ManualCropGeometry geometry(int width, int height) const;
    bool fillsImage(int width, int height) const;

    // One step of 1 % in a direction; a step beyond an edge stops at the edge.
    ManualCrop moved(CropDirection direction, int width, int height) const;
    // A new size in percent (brought into 10 ... 100), the centre kept.
    ManualCrop resized(int size, int width, int height) const;
    // A new aspect, the crop centred; the same aspect only clamps.
    ManualCrop changingAspect(CropAspect newAspect, int width, int height) const;
    // The left or top edge set in pixels.
    ManualCrop settingPixelX(int pixel, int width, int height) const;
    ManualCrop settingPixelY(int pixel, int width, int height) const;

private:
    ManualCrop settingPixel(int pixel, bool horizontal, int width, int height) const;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::ManualCrop> {
    std::size_t operator()(const sorvin::ManualCrop& crop) const noexcept {
        std::size_t seed = std::hash<sorvin::CropAspect>{}(crop.aspect);
        sorvin::hashCombine(seed, crop.sizeP);
        sorvin::hashCombine(seed, crop.xM);
        sorvin::hashCombine(seed, crop.yM);
        return seed;
    }
};
