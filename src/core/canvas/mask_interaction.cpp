#include "canvas/mask_interaction.hpp"

#include "canvas/plane_math.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <cmath>
#include <numbers>

namespace sorvin {

namespace {

using P = PhotoParameter;

// The pointer's turn since the drag began, through the shorter way round.
double wrappedTurn(double initialMouseAngle, double currentMouseAngle) {
    double d = currentMouseAngle - initialMouseAngle;
    if (!std::isfinite(d)) return 0;
    constexpr double kTurn = 2 * std::numbers::pi;
    d = std::fmod(d, kTurn);
    while (d > std::numbers::pi)
        d -= kTurn;
    while (d < -std::numbers::pi)
        d += kTurn;
    return d;
}

std::optional<MaskDragSession> beginCircular(const CircularMaskOverlayModel& model,
                                             const PhotoParameters& parameters, ParameterEditTarget target,
                                             Point point) {
    const auto& geometry = model.geometry;
    if (const auto index = geometry.handleIndex(point)) {
        const Point d =
            plane::subtract(geometry.handleCenters()[static_cast<std::size_t>(*index)], geometry.center);
        return CircularMaskDragSession{CircularMaskResize{
            .center = geometry.center,
            .grabbedLocalPoint = {plane::dot(d, geometry.axisU()), plane::dot(d, geometry.axisV())},
            .size = parameters.value(P::circular_mask_size, target),
            .aspect = parameters.value(P::circular_mask_aspect, target),
            .angleRadians = geometry.angleRadians,
        }};
    }
    if (plane::within(point, geometry.rotationKnob(), kMaskHandleHitRadius)) {
        if (point == geometry.center) return std::nullopt;
        return CircularMaskDragSession{CircularMaskRotate{
            .center = geometry.center,
            .pointerAngle = plane::angleOf(plane::subtract(point, geometry.center)),
            .angle = parameters.value(P::circular_mask_angle, target),
        }};
    }
    if (geometry.contains(point)) return CircularMaskDragSession{CircularMaskMove{}};
    return std::nullopt;
}

std::optional<MaskDragSession> beginLinear(const LinearMaskOverlayModel& model,
                                           const PhotoParameters& parameters, ParameterEditTarget target,
                                           Point point) {
    if (!(model.geometry.referenceLength > 0)) return std::nullopt;
    const auto handle = model.handle(point);
    if (!handle) return std::nullopt;
    const Point m = model.midpoint();
    switch (*handle) {
    case LinearMaskHandle::width:
        return LinearMaskDragSession{
            LinearMaskWidthDrag{m, model.geometry.lineDirection, model.geometry.referenceLength}};
    case LinearMaskHandle::angle:
        if (point == m) return std::nullopt;
        return LinearMaskDragSession{LinearMaskAngleDrag{m, plane::angleOf(plane::subtract(point, m)),
                                                         parameters.value(P::linear_mask_angle, target)}};
    case LinearMaskHandle::position:
        return LinearMaskDragSession{
            LinearMaskPositionDrag{point, parameters.value(P::linear_mask_position, target),
                                   model.geometry.increasingDirection, model.geometry.referenceLength}};
    }
    return std::nullopt;
}

std::optional<MaskShapeValues> dragCircular(const CircularMaskDragMode& mode, const MaskDragContext& context,
                                            const MaskKind& kind, Point point, const MaskViewMapping& mapping,
                                            Point viewCenter, const ZoomState& zoom) {
    if (const auto* resize = std::get_if<CircularMaskResize>(&mode)) {
        const Point u{std::cos(resize->angleRadians), std::sin(resize->angleRadians)};
        const Point v{-std::sin(resize->angleRadians), std::cos(resize->angleRadians)};
        const Point d = plane::subtract(point, resize->center);
        return CircularMaskInteraction::resizedValues(resize->size, resize->aspect, resize->grabbedLocalPoint,
                                                      {plane::dot(d, u), plane::dot(d, v)});
    }
    if (const auto* rotate = std::get_if<CircularMaskRotate>(&mode)) {
        if (point == rotate->center) return std::nullopt;
        const double current = plane::angleOf(plane::subtract(point, rotate->center));
        return MaskShapeValues{{P::circular_mask_angle, CircularMaskInteraction::rotatedAngle(
                                                            rotate->angle, rotate->pointerAngle, current)}};
    }
    // Move: the centre jumps to the pointer, found on the unzoomed, unrotated photo.
    if (!(zoom.scale > 0)) return std::nullopt;
    const auto* definition = MaskKindCatalog::current().definition(kind);
    if (definition == nullptr || !definition->dragValues) return std::nullopt;
    const Point p = mapping.unmapToFitted(point, viewCenter, zoom.scale, zoom.offset);
    const auto values = definition->dragValues(
        p, mapping.fittedRect, context.parameters->pipelineParameters(context.target), false, false);
    if (!values) return std::nullopt;
    return MaskShapeValues(values->begin(), values->end());
}

std::optional<MaskShapeValues> dragLinear(const LinearMaskDragMode& mode, Point point) {
    if (const auto* position = std::get_if<LinearMaskPositionDrag>(&mode)) {
        if (!(position->referenceLength > 0)) return std::nullopt;
        const double along =
            plane::dot(plane::subtract(point, position->start), position->increasingDirection);
        return MaskShapeValues{
            {P::linear_mask_position,
             plane::roundedClamped(position->position + 50 * along / position->referenceLength, 0, 100)}};
    }
    if (const auto* width = std::get_if<LinearMaskWidthDrag>(&mode)) {
        if (!(width->referenceLength > 0)) return std::nullopt;
        const Point d = plane::subtract(point, width->midpoint);
        const double cross = d.x * width->lineDirection.y - d.y * width->lineDirection.x;
        return MaskShapeValues{
            {P::linear_mask_width,
             plane::roundedClamped(100 * std::abs(cross) / width->referenceLength, 0, 100)}};
    }
    const auto& angle = std::get<LinearMaskAngleDrag>(mode);
    if (point == angle.midpoint) return std::nullopt;
    const double current = plane::angleOf(plane::subtract(point, angle.midpoint));
    return MaskShapeValues{
        {P::linear_mask_angle, LinearMaskInteraction::angleValue(angle.angle, angle.pointerAngle, current)}};
}

} // namespace

int LinearMaskInteraction::angleValue(int initialAngle, double initialMouseAngle, double currentMouseAngle) {
    const double d = wrappedTurn(initialMouseAngle, currentMouseAngle);
    return plane::roundedClamped(d * 100 / std::numbers::pi + initialAngle, -100, 100);
}

int CircularMaskInteraction::rotatedAngle(int initialAngle, double initialMouseAngle,
                                          double currentMouseAngle) {
    const double d = wrappedTurn(initialMouseAngle, currentMouseAngle);
    return plane::roundedClamped(d * 200 / std::numbers::pi + initialAngle, -100, 100);
}

std::optional<MaskShapeValues> CircularMaskInteraction::resizedValues(int initialSize, int initialAspect,
                                                                      Point initialLocalPoint,
                                                                      Point currentLocalPoint) {
    if (initialLocalPoint.x == 0 || initialLocalPoint.y == 0) return std::nullopt;
    constexpr double kSmallestFactor = 0.001;
    const double fx = std::max(std::abs(currentLocalPoint.x / initialLocalPoint.x), kSmallestFactor);
    const double fy = std::max(std::abs(currentLocalPoint.y / initialLocalPoint.y), kSmallestFactor);
    const int size = plane::roundedClamped(std::sqrt(fx * fy) * initialSize, 0, 100);
    const int aspect = plane::roundedClamped(std::log2(fx / fy) * 50 + initialAspect, -100, 100);
    return MaskShapeValues{{P::circular_mask_size, size}, {P::circular_mask_aspect, aspect}};
}

std::optional<MaskDragSession> MaskDragController::begin(const MaskOverlayModels& models,
                                                         const MaskDragContext& context, Point point) {
    if (context.parameters == nullptr || context.loupeOn) return std::nullopt;
    if (models.circular) {
        if (auto session = beginCircular(*models.circular, *context.parameters, context.target, point))
            return session;
    }
    if (models.linear) return beginLinear(*models.linear, *context.parameters, context.target, point);
    return std::nullopt;
}

std::optional<MaskShapeValues> MaskDragController::drag(const MaskDragSession& session,
                                                        const MaskDragContext& context, Point point,
                                                        const MaskViewMapping& mapping, Point viewCenter,
                                                        const ZoomState& zoom) {
    if (context.parameters == nullptr || context.loupeOn) return std::nullopt;
    const auto index = context.target.maskIndex();
    const auto& masks = context.parameters->masks;
    if (!index || *index < 0 || *index >= static_cast<int>(masks.size())) return std::nullopt;
    const MaskKind& kind = masks[static_cast<std::size_t>(*index)].kind;
    if (const auto* circular = std::get_if<CircularMaskDragSession>(&session)) {
        if (kind != MaskKind::circular()) return std::nullopt;
        return dragCircular(circular->mode, context, kind, point, mapping, viewCenter, zoom);
    }
    if (kind != MaskKind::linear()) return std::nullopt;
    return dragLinear(std::get<LinearMaskDragSession>(session).mode, point);
}

CircularMaskPointerStyle MaskDragController::pointerStyle(const MaskOverlayModels& models, Point point,
                                                          bool isDragging) {
    if (isDragging) return CircularMaskPointerStyle::closedHand;
    if (models.circular) {
        const auto& geometry = models.circular->geometry;
        if (geometry.handleIndex(point)) return CircularMaskPointerStyle::crosshair;
        if (plane::within(point, geometry.rotationKnob(), kMaskHandleHitRadius))
            return CircularMaskPointerStyle::crosshair;
        if (geometry.contains(point)) return CircularMaskPointerStyle::openHand;
        return CircularMaskPointerStyle::arrow;
    }
    if (models.linear && models.linear->handle(point)) return CircularMaskPointerStyle::crosshair;
    return CircularMaskPointerStyle::arrow;
}

} // namespace sorvin
