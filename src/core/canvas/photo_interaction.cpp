#include "canvas/photo_interaction.hpp"

#include <cmath>
#include <cstdlib>

namespace sorvin {

namespace {

// Calls a copy: an action may lead the canvas to apply new inputs, which replaces the original.
template <class Function, class... Args>
auto callCopy(const Function& function, Args&&... args) {
    const Function copy = function;
    return copy(std::forward<Args>(args)...);
}

} // namespace

PhotoInteraction::PhotoInteraction(CursorSink setCursor) : cursorSink_(std::move(setCursor)) {
    inputs_.scrollPointsPerStep = [] { return ScrollAdvanceAccumulator::kDefaultPointsPerStep; };
}

void PhotoInteraction::apply(PhotoInteractionInputs inputs) {
    if (!inputs.scrollPointsPerStep)
        inputs.scrollPointsPerStep = [] { return ScrollAdvanceAccumulator::kDefaultPointsPerStep; };
    inputs_ = std::move(inputs);
    endDragIfItsSubjectChanged();
    if (!inputs_.allowsScrollAdvance) accumulator_.reset();
    if (inputs_.scrollPansPhoto) accumulator_.reset();
    // New inputs may change what lies under a resting pointer.
    if (lastPointerLocation_) {
        updateCursor(*lastPointerLocation_);
    } else {
        setCursor(CircularMaskPointerStyle::arrow);
    }
}

void PhotoInteraction::magnify(double magnification, Point point) {
    if (inputs_.magnify) callCopy(inputs_.magnify, magnification + 1.0, point);
}

void PhotoInteraction::wheelZoom(double degrees, bool isMomentum, Point point) {
    const int notches = zoomAccumulator_.consume(degrees, /*isPrecise=*/false, isMomentum,
                                                 ScrollAdvanceAccumulator::kDefaultPointsPerStep);
    if (notches != 0 && inputs_.magnify)
        callCopy(inputs_.magnify, std::pow(kWheelZoomFactorPerNotch, notches), point);
}

bool PhotoInteraction::scroll(const ScrollEvent& event) {
    if (inputs_.scrollPansPhoto) {
        accumulator_.reset();
        if (inputs_.pan) callCopy(inputs_.pan, Size{event.deltaX, event.deltaY});
        return true;
    }
    if (!inputs_.allowsScrollAdvance) {
        accumulator_.reset();
        return false;
    }
    const double pointsPerStep = callCopy(inputs_.scrollPointsPerStep);
    const int steps =
        accumulator_.consume(event.deltaY, event.hasPreciseDeltas, event.isMomentum, pointsPerStep);
    const int sign = steps > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (!inputs_.scrollAdvance || !callCopy(inputs_.scrollAdvance, sign)) {
            accumulator_.reset();
            break;
        }
    }
    return true;
}

void PhotoInteraction::mouseDown(Point point, int clickCount) {
    if (clickCount == 2) {
        if (inputs_.doubleClick) callCopy(inputs_.doubleClick);
        endDrag();
        return;
    }
    if (inputs_.singleClick) callCopy(inputs_.singleClick);
    lastPointerLocation_ = point;
    lastDragLocation_ = point;
    dragSubject_ = inputs_.dragSubject ? std::optional(callCopy(inputs_.dragSubject)) : std::nullopt;
    maskDragSession_ = inputs_.maskDragBegan ? callCopy(inputs_.maskDragBegan, point) : std::nullopt;
    updateCursor(point);
}

void PhotoInteraction::mouseDragged(Point point) {
    lastPointerLocation_ = point;
    endDragIfItsSubjectChanged();
    if (maskDragSession_) {
        if (inputs_.maskDragged) callCopy(inputs_.maskDragged, point, *maskDragSession_);
    } else if (lastDragLocation_) {
        if (inputs_.pan)
            callCopy(inputs_.pan, Size{point.x - lastDragLocation_->x, point.y - lastDragLocation_->y});
    }
    lastDragLocation_ = point;
    if (inputs_.mouseMoved) callCopy(inputs_.mouseMoved, point, true);
    updateCursor(point);
}

void PhotoInteraction::mouseUp(Point point) {
    lastPointerLocation_ = point;
    endDrag();
    updateCursor(point);
}

void PhotoInteraction::mouseMoved(Point point) {
    lastPointerLocation_ = point;
    if (inputs_.mouseMoved) callCopy(inputs_.mouseMoved, point, true);
    updateCursor(point);
}

void PhotoInteraction::mouseExited(Point point) {
    if (inputs_.mouseMoved) callCopy(inputs_.mouseMoved, point, false);
    lastPointerLocation_.reset();
    setCursor(CircularMaskPointerStyle::arrow);
}

void PhotoInteraction::endDragIfItsSubjectChanged() {
    if (dragSubject_ && inputs_.dragSubject && callCopy(inputs_.dragSubject) != *dragSubject_) endDrag();
}

void PhotoInteraction::endDrag() {
    lastDragLocation_.reset();
    maskDragSession_.reset();
    dragSubject_.reset();
}

void PhotoInteraction::updateCursor(Point point) {
    if (!inputs_.maskPointerStyle) {
        setCursor(CircularMaskPointerStyle::arrow);
        return;
    }
    setCursor(callCopy(inputs_.maskPointerStyle, point, maskDragSession_.has_value()));
}

void PhotoInteraction::setCursor(CircularMaskPointerStyle style) {
    if (cursorSink_) cursorSink_(style);
}

} // namespace sorvin
