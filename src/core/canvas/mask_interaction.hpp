#pragma once

#include "canvas/mask_drag_session.hpp"
#include "canvas/mask_overlay_models.hpp"
#include "library/zoom_state.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/photo_parameter.hpp"

#include <optional>
#include <utility>
#include <vector>

namespace sorvin {

class PhotoParameters;

// New shape values for the edited mask, in the form the application state takes them.
using MaskShapeValues = std::vector<std::pair<PhotoParameter, int>>;

struct LinearMaskInteraction {
    // linear_mask_angle after turning the pointer about the centre line's midpoint.
    static int angleValue(int initialAngle, double initialMouseAngle, double currentMouseAngle);
};

struct CircularMaskInteraction {
    // circular_mask_angle after turning the pointer about the centre.
    static int rotatedAngle(int initialAngle, double initialMouseAngle, double currentMouseAngle);
    // circular_mask_size and circular_mask_aspect after moving a corner handle; none when the
    // grabbed handle lies on an axis of the ellipse.
    static std::optional<MaskShapeValues> resizedValues(int initialSize, int initialAspect,
                                                        Point initialLocalPoint, Point currentLocalPoint);
};

// What the mask closures of the canvas see of the application at one pointer event.
struct MaskDragContext {
    const PhotoParameters* parameters = nullptr; // the current photo's parameters
    ParameterEditTarget target;
    bool loupeOn = false;
};

// The canvas's three mask closures as pure steps over the guide models of its latest layout.
struct MaskDragController {
    static std::optional<MaskDragSession> begin(const MaskOverlayModels& models,
                                                const MaskDragContext& context, Point point);
    // The values one drag event sends, or none. viewCenter is the canvas centre; zoom is read at
    // this event.
    static std::optional<MaskShapeValues> drag(const MaskDragSession& session, const MaskDragContext& context,
                                               Point point, const MaskViewMapping& mapping, Point viewCenter,
                                               const ZoomState& zoom);
    static CircularMaskPointerStyle pointerStyle(const MaskOverlayModels& models, Point point,
                                                 bool isDragging);
};

} // namespace sorvin
