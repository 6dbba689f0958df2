#pragma once

#include "canvas/mask_view_mapping.hpp"
#include "model/parameter_edit_target.hpp"
#include "platform/geometry.hpp"

#include <array>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

struct MaskGuideSegment {
    Point start;
    Point end;
    friend bool operator==(const MaskGuideSegment&, const MaskGuideSegment&) = default;
};

// Handles and knobs are hit within this many points of their centre.
inline constexpr double kMaskHandleHitRadius = 11;

// A circular mask's ellipse on screen.
struct CircularMaskOverlayGeometry {
    Point center;
    double outerAxisA = 0;
    double outerAxisB = 0;
    double angleRadians = 0;
    double feather = 0;

    static constexpr double kRotationStalk = 24;

    Point axisU() const;
    Point axisV() const;
    // Corners of the ellipse's bounding box: top-left, top-right, bottom-right, bottom-left in its frame.
    std::array<Point, 4> handleCenters() const;
    std::optional<int> handleIndex(Point point) const;
    bool contains(Point point) const;
    MaskGuideSegment rotationConnector() const;
    Point rotationKnob() const { return rotationConnector().end; }
    // The ellipse scaled about its centre as a closed polygon of 128 steps (129 points).
    std::vector<Point> ellipsePath(double scale) const;

    friend bool operator==(const CircularMaskOverlayGeometry&, const CircularMaskOverlayGeometry&) = default;
};

struct CircularMaskOverlayModel {
    ParameterEditTarget target;
    CircularMaskOverlayGeometry geometry;
    int inversion = 0;
    int aspect = 0;

    // Twelve 6-point ticks, inward for a normal mask and outward for an inverted one.
    std::vector<MaskGuideSegment> whiskers() const;

    // The guide of the target's mask; none without a plan or with a flat ellipse.
    static std::optional<CircularMaskOverlayModel>
    make(const PhotoParameters& parameters, ParameterEditTarget target, const MaskViewMapping& mapping);

    friend bool operator==(const CircularMaskOverlayModel&, const CircularMaskOverlayModel&) = default;
};

struct LinearMaskOverlayGeometry {
    double referenceLength = 0;
    Point lineDirection;
    Point increasingDirection;
    MaskGuideSegment centerLine;
    std::optional<MaskGuideSegment> zeroLine;
    std::optional<MaskGuideSegment> oneLine;

    friend bool operator==(const LinearMaskOverlayGeometry&, const LinearMaskOverlayGeometry&) = default;
};

enum class LinearMaskHandle { width, angle, position };

struct LinearMaskOverlayModel {
    ParameterEditTarget target;
    LinearMaskOverlayGeometry geometry;
    int inversion = 0;
    int width = 30;

    static constexpr double kMinimumWidthHandleDistance = 12;
    static constexpr double kAngleStalk = 40;

    Point midpoint() const;
    // +1 for a normal mask, -1 for an inverted one: the side the handles and ticks point to.
    double side() const { return inversion < 50 ? 1 : -1; }
    Point widthHandleCenter() const;
    Point angleHandleCenter() const;
    // Width, angle and position handle, in this order.
    std::array<Point, 3> handleCenters() const;
    std::optional<LinearMaskHandle> handle(Point point) const;
    std::vector<MaskGuideSegment> whiskers() const;

    // The part of the infinite line origin + t * direction inside the rectangle, or none.
    static std::optional<MaskGuideSegment> clipInfiniteLine(Point origin, Point direction, const Rect& rect);

    // The guide of the target's mask; none without a plan or when its centre line misses the image.
    static std::optional<LinearMaskOverlayModel>
    make(const PhotoParameters& parameters, ParameterEditTarget target, const MaskViewMapping& mapping);

    friend bool operator==(const LinearMaskOverlayModel&, const LinearMaskOverlayModel&) = default;
};

// The one guide the canvas shows for the mask being edited, by the mask's kind.
struct MaskOverlayModels {
    std::optional<CircularMaskOverlayModel> circular;
    std::optional<LinearMaskOverlayModel> linear;

    bool empty() const { return !circular && !linear; }
    // None when the target is global, outside the masks, or its kind has no guide.
    static MaskOverlayModels make(const PhotoParameters& parameters, ParameterEditTarget target,
                                  const MaskViewMapping& mapping);

    friend bool operator==(const MaskOverlayModels&, const MaskOverlayModels&) = default;
};

} // namespace sorvin
