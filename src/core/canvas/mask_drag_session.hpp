#pragma once

#include "platform/geometry.hpp"

#include <variant>

namespace sorvin {

// What a press on a mask guide started; it keeps the values of the drag's start, so every later
// pointer position is measured from there.
struct CircularMaskResize {
    Point center;
    Point grabbedLocalPoint; // the handle in the ellipse's own frame
    int size = 0;
    int aspect = 0;
    double angleRadians = 0;
    friend bool operator==(const CircularMaskResize&, const CircularMaskResize&) = default;
};

struct CircularMaskRotate {
    Point center;
    double pointerAngle = 0;
    int angle = 0;
    friend bool operator==(const CircularMaskRotate&, const CircularMaskRotate&) = default;
};

struct CircularMaskMove {
    friend bool operator==(const CircularMaskMove&, const CircularMaskMove&) = default;
};

using CircularMaskDragMode = std::variant<CircularMaskResize, CircularMaskRotate, CircularMaskMove>;

struct LinearMaskPositionDrag {
    Point start;
    int position = 0;
    Point increasingDirection;
    double referenceLength = 0;
    friend bool operator==(const LinearMaskPositionDrag&, const LinearMaskPositionDrag&) = default;
};

struct LinearMaskWidthDrag {
    Point midpoint;
    Point lineDirection;
    double referenceLength = 0;
    friend bool operator==(const LinearMaskWidthDrag&, const LinearMaskWidthDrag&) = default;
};

struct LinearMaskAngleDrag {
    Point midpoint;
    double pointerAngle = 0;
    int angle = 0;
    friend bool operator==(const LinearMaskAngleDrag&, const LinearMaskAngleDrag&) = default;
};

using LinearMaskDragMode = std::variant<LinearMaskPositionDrag, LinearMaskWidthDrag, LinearMaskAngleDrag>;

struct CircularMaskDragSession {
    CircularMaskDragMode mode;
    friend bool operator==(const CircularMaskDragSession&, const CircularMaskDragSession&) = default;
};

struct LinearMaskDragSession {
    LinearMaskDragMode mode;
    friend bool operator==(const LinearMaskDragSession&, const LinearMaskDragSession&) = default;
};

using MaskDragSession = std::variant<CircularMaskDragSession, LinearMaskDragSession>;

// The cursor over the photo.
enum class CircularMaskPointerStyle { arrow, crosshair, openHand, closedHand };

} // namespace sorvin
