#include "model/manual_crop.hpp"

#include <algorithm>
#include <cstdint>

namespace sorvin {

namespace {

using Int = std::int64_t;

// Every crop division is done on non-negative integers and rounds halves upward.
Int roundedDivision(Int numerator, Int denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

// Values held by a crop come from records and callers; these bounds keep the arithmetic below
// far from overflow without touching any value that can occur in practice.
constexpr Int kLargestSide = Int{1} << 30;
constexpr Int kLargestSize = 1'000'000;

Int sideOf(int value) {
    return std::clamp<Int>(value, 1, kLargestSide);
}

int clampedInt(Int value, Int low, Int high) {
    return static_cast<int>(std::clamp(value, low, high));
}

struct Frame {
    Int width;
    Int height;
};

// The largest rectangle of the aspect that fits a W x H image.
Frame frame(CropAspect aspect, Int W, Int H) {
    // A part below 1 has no rectangle (and would divide by zero): such a ratio counts as the
    // image's own aspect here as everywhere else.
    if (aspect.isOriginal() || aspect.width < 1 || aspect.height < 1) return {W, H};
    const Int a = std::min<Int>(aspect.width, kLargestSize);
    const Int b = std::min<Int>(aspect.height, kLargestSize);
    if (a * H >= b * W) return {W, roundedDivision(b * W, a)};
    return {roundedDivision(a * H, b), H};
}

// The crop with its aspect corrected and its size brought into range.
ManualCrop normalised(ManualCrop crop) {
    crop.aspect = crop.aspect.corrected();
    crop.sizeP = std::clamp(crop.sizeP, ManualCrop::kMinimumSize, ManualCrop::kMaximumSize);
    return crop;
}

ManualCrop withPositionsInRange(ManualCrop crop) {
    crop.xM = std::clamp(crop.xM, 0, ManualCrop::kPositionScale);
    crop.yM = std::clamp(crop.yM, 0, ManualCrop::kPositionScale);
    return crop;
}

} // namespace

CropFrameMetrics ManualCrop::metrics(int width, int height) const {
    const Int W = sideOf(width);
    const Int H = sideOf(height);
    const Int s = std::clamp<Int>(sizeP, 0, kLargestSize);
    const Frame f = frame(aspect, W, H);
    const Int cropWidth = std::max<Int>(1, roundedDivision(f.width * s, 100));
    const Int cropHeight = std::max<Int>(1, roundedDivision(f.height * s, 100));
    return CropFrameMetrics{
        .frameWidth = static_cast<int>(f.width),
        .frameHeight = static_cast<int>(f.height),
        .cropWidth = clampedInt(cropWidth, 1, INT32_MAX),
        .cropHeight = clampedInt(cropHeight, 1, INT32_MAX),
        .extentXM = clampedInt(roundedDivision(cropWidth * kPositionScale, W), 0, INT32_MAX),
        .extentYM = clampedInt(roundedDivision(cropHeight * kPositionScale, H), 0, INT32_MAX),
    };
}

ManualCrop ManualCrop::clamped(int width, int height) const {
    const CropFrameMetrics m = metrics(width, height);
    ManualCrop crop = normalised(*this);
    crop.xM = std::clamp(xM, 0, std::max(0, kPositionScale - m.extentXM));
    crop.yM = std::clamp(yM, 0, std::max(0, kPositionScale - m.extentYM));
    return crop;
}

ManualCropGeometry ManualCrop::geometry(int width, int height) const {
    const Int W = sideOf(width);
    const Int H = sideOf(height);
    const ManualCrop c = clamped(static_cast<int>(W), static_cast<int>(H));
    const CropFrameMetrics m = c.metrics(static_cast<int>(W), static_cast<int>(H));
    return ManualCropGeometry{
        .x = static_cast<int>(std::min<Int>(W - m.cropWidth, roundedDivision(Int{c.xM} * W, kPositionScale))),
        .y =
            static_cast<int>(std::min<Int>(H - m.cropHeight, roundedDivision(Int{c.yM} * H, kPositionScale))),
        .width = m.cropWidth,
        .height = m.cropHeight,
    };
}

bool ManualCrop::fillsImage(int width, int height) const {
    const ManualCropGeometry g = geometry(width, height);
    return g.x == 0 && g.y == 0 && g.width == sideOf(width) && g.height == sideOf(height);
}

ManualCrop ManualCrop::moved(CropDirection direction, int width, int height) const {
    ManualCrop c = clamped(width, height);
    switch (direction) {
    case CropDirection::up:
        c.yM -= kMoveStep;
        break;
    case CropDirection::down:
        c.yM += kMoveStep;
        break;
    case CropDirection::left:
        c.xM -= kMoveStep;
        break;
    case CropDirection::right:
        c.xM += kMoveStep;
        break;
    }
    return withPositionsInRange(normalised(c)).clamped(width, height);
}

ManualCrop ManualCrop::resized(int size, int width, int height) const {
    const ManualCrop c = clamped(width, height);
    const int s = std::clamp(size, kMinimumSize, kMaximumSize);
    if (s == c.sizeP) return c;

    ManualCrop next = c;
    next.aspect = c.aspect.corrected();
    next.sizeP = s;

    // The extents before rounding to pixels, so that the centre stays put as well as it can.
    const Int W = sideOf(width);
    const Int H = sideOf(height);
    const Frame f = frame(next.aspect, W, H);
    const auto extent = [](Int frameSide, Int sizeP, Int imageSide) {
        return roundedDivision(frameSide * sizeP * 100, imageSide);
    };
    const auto shift = [](Int d) { return d >= 0 ? (d + 1) / 2 : -((-d + 1) / 2); };
    const Int dX = extent(f.width, c.sizeP, W) - extent(f.width, s, W);
    const Int dY = extent(f.height, c.sizeP, H) - extent(f.height, s, H);
    next.xM = clampedInt(Int{c.xM} + shift(dX), 0, kPositionScale);
    next.yM = clampedInt(Int{c.yM} + shift(dY), 0, kPositionScale);
    return next.clamped(width, height);
}

ManualCrop ManualCrop::changingAspect(CropAspect newAspect, int width, int height) const {
    if (newAspect == aspect) return clamped(width, height);
    ManualCrop next = normalised(ManualCrop{newAspect, sizeP, 0, 0});
    const CropFrameMetrics m = next.metrics(width, height);
    next.xM = std::max(0, kPositionScale - m.extentXM) / 2;
    next.yM = std::max(0, kPositionScale - m.extentYM) / 2;
    return next.clamped(width, height);
}

ManualCrop ManualCrop::settingPixelX(int pixel, int width, int height) const {
    return settingPixel(pixel, true, width, height);
}

ManualCrop ManualCrop::settingPixelY(int pixel, int width, int height) const {
    return settingPixel(pixel, false, width, height);
}

ManualCrop ManualCrop::settingPixel(int pixel, bool horizontal, int width, int height) const {
    const Int side = sideOf(horizontal ? width : height);
    ManualCrop c = clamped(width, height);
    const ManualCropGeometry g = c.geometry(width, height);
    const Int p = std::clamp<Int>(pixel, 0, std::max<Int>(0, side - (horizontal ? g.width : g.height)));
    (horizontal ? c.xM : c.yM) = static_cast<int>(roundedDivision(p * kPositionScale, side));
    return withPositionsInRange(normalised(c)).clamped(width, height);
}

} // namespace sorvin
