#pragma once

#include "canvas/drag_subject.hpp"
#include "canvas/mask_drag_session.hpp"
#include "canvas/scroll_advance_accumulator.hpp"
#include "platform/geometry.hpp"

#include <functional>
#include <optional>

namespace sorvin {

// The closures the canvas hands to its pointer input, rebuilt on every redraw.
struct PhotoInteractionInputs {
    std::function<void(double factor, Point point)> magnify;
    std::function<void(Size delta)> pan;
    std::function<bool(int step)> scrollAdvance;
    std::function<double()> scrollPointsPerStep;
    bool allowsScrollAdvance = false;
    bool scrollPansPhoto = false;
    std::function<std::optional<MaskDragSession>(Point point)> maskDragBegan;
    std::function<void(Point point, const MaskDragSession& session)> maskDragged;
    std::function<CircularMaskPointerStyle(Point point, bool isDragging)> maskPointerStyle;
    std::function<void()> singleClick;
    std::function<void()> doubleClick;
    std::function<void(Point point, bool inside)> mouseMoved;
    // What a drag would work on now; read at the press and at every later event of the drag.
    std::function<DragSubject()> dragSubject;
};

// One scroll event as the window system reports it: points with precise deltas, else the degrees
// a wheel turned (15 a notch), which pan the photo by as many points.
struct ScrollEvent {
    double deltaX = 0;
    double deltaY = 0;
    bool hasPreciseDeltas = false;
    bool isMomentum = false;
};

// The pointer input over the photo: turns presses, drags, scrolls and pinches into the canvas's
// closures and decides the cursor. The widget only converts its events and shows the cursor.
class PhotoInteraction {
public:
    using CursorSink = std::function<void(CircularMaskPointerStyle)>;

    explicit PhotoInteraction(CursorSink setCursor = {});

    void apply(PhotoInteractionInputs inputs);

    // Ctrl and the wheel zoom by this factor a notch, as a pinch would.
    static constexpr double kWheelZoomFactorPerNotch = 1.25;

    void magnify(double magnification, Point point);
    // Ctrl and the wheel, a mouse's pinch: a wheel's turn in degrees, collected into whole notches
    // as for stepping, zooms about the point by a fixed factor a notch.
    void wheelZoom(double degrees, bool isMomentum, Point point);
    // False when the event was not used and belongs to whoever is behind the photo.
    bool scroll(const ScrollEvent& event);
    void mouseDown(Point point, int clickCount);
    void mouseDragged(Point point);
    void mouseUp(Point point);
    void mouseMoved(Point point); // also on entry
    void mouseExited(Point point);

    const std::optional<MaskDragSession>& maskDragSession() const { return maskDragSession_; }
    const ScrollAdvanceAccumulator& scrollAdvanceAccumulator() const { return accumulator_; }
    const std::optional<Point>& lastPointerLocation() const { return lastPointerLocation_; }

private:
    // A drag whose photo, copy, file or mask tab changed under it ends there, as at a release: what
    // it changed so far stays, and the rest of it changes nothing.
    void endDragIfItsSubjectChanged();
    void endDrag();
    void updateCursor(Point point);
    void setCursor(CircularMaskPointerStyle style);

    CursorSink cursorSink_;
    PhotoInteractionInputs inputs_;
    std::optional<Point> lastDragLocation_;
    std::optional<MaskDragSession> maskDragSession_;
    std::optional<DragSubject> dragSubject_;
    std::optional<Point> lastPointerLocation_;
    ScrollAdvanceAccumulator accumulator_;
    ScrollAdvanceAccumulator zoomAccumulator_;
};

} // namespace sorvin
