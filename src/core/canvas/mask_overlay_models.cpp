#include "canvas/mask_overlay_models.hpp"

#include "canvas/plane_math.hpp"
#include "model/mask_weight_plan.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <cmath>
#include <limits>
#include <numbers>

namespace sorvin {

namespace {

constexpr double kWhiskerLength = 6;
constexpr int kWhiskerCount = 12;
constexpr int kEllipseSteps = 128;

bool mappingIsUsable(const MaskViewMapping& mapping) {
    return mapping.imageWidth >= 1 && mapping.imageHeight >= 1 && mapping.fittedRect.width > 0 &&
           mapping.fittedRect.height > 0 && mapping.zoomScale > 0;
}

} // namespace

Point CircularMaskOverlayGeometry::axisU() const {
    return {std::cos(angleRadians), std::sin(angleRadians)};
}

Point CircularMaskOverlayGeometry::axisV() const {
    return {-std::sin(angleRadians), std::cos(angleRadians)};
}

std::array<Point, 4> CircularMaskOverlayGeometry::handleCenters() const {
    const Point au = plane::scaled(axisU(), outerAxisA);
    const Point bv = plane::scaled(axisV(), outerAxisB);
    return {plane::subtract(plane::subtract(center, au), bv), plane::subtract(plane::add(center, au), bv),
            plane::add(plane::add(center, au), bv), plane::add(plane::subtract(center, au), bv)};
}

std::optional<int> CircularMaskOverlayGeometry::handleIndex(Point point) const {
    const auto centers = handleCenters();
    for (int i = 0; i < 4; ++i) {
        if (plane::within(point, centers[i], kMaskHandleHitRadius)) return i;
    }
    return std::nullopt;
}

bool CircularMaskOverlayGeometry::contains(Point point) const {
    if (!(outerAxisA > 0 && outerAxisB > 0)) return false;
    const Point d = plane::subtract(point, center);
    const double x = plane::dot(d, axisU()) / outerAxisA;
    const double y = plane::dot(d, axisV()) / outerAxisB;
    return x * x + y * y <= 1;
}

MaskGuideSegment CircularMaskOverlayGeometry::rotationConnector() const {
    // Up along the ellipse's own y axis.
    const Point up{std::sin(angleRadians), -std::cos(angleRadians)};
    return {plane::add(center, plane::scaled(up, outerAxisB)),
            plane::add(center, plane::scaled(up, outerAxisB + kRotationStalk))};
}

std::vector<Point> CircularMaskOverlayGeometry::ellipsePath(double scale) const {
    std::vector<Point> points;
    points.reserve(kEllipseSteps + 1);
    for (int k = 0; k <= kEllipseSteps; ++k) {
        const double t = 2 * std::numbers::pi * k / kEllipseSteps;
        const Point local{scale * outerAxisA * std::cos(t), scale * outerAxisB * std::sin(t)};
        points.push_back(plane::add(center, plane::rotated(local, angleRadians)));
    }
    return points;
}

std::vector<MaskGuideSegment> CircularMaskOverlayModel::whiskers() const {
    const double a = geometry.outerAxisA;
    const double b = geometry.outerAxisB;
    if (!(a > 0 && b > 0)) return {};
    const double sw = inversion < 50 ? -1 : 1;
    std::vector<MaskGuideSegment> result;
    result.reserve(kWhiskerCount);
    for (int k = 0; k < kWhiskerCount; ++k) {
        const double t = 2 * std::numbers::pi * k / kWhiskerCount;
        const Point p = plane::add(geometry.center,
                                   plane::rotated({a * std::cos(t), b * std::sin(t)}, geometry.angleRadians));
        Point normal{std::cos(t) / a, std::sin(t) / b};
        normal = plane::scaled(normal, 1 / plane::length(normal));
        const Point tick = plane::scaled(plane::rotated(normal, geometry.angleRadians), sw * kWhiskerLength);
        result.push_back({p, plane::add(p, tick)});
    }
    return result;
}

std::optional<CircularMaskOverlayModel> CircularMaskOverlayModel::make(const PhotoParameters& parameters,
                                                                       ParameterEditTarget target,
                                                                       const MaskViewMapping& mapping) {
    if (!mappingIsUsable(mapping)) return std::nullopt;
    const auto plan = CircularMaskPlan::makeIgnoringAmount(parameters.pipelineParameters(target),
                                                           mapping.imageWidth, mapping.imageHeight);
    if (!plan || !(plan->axisA > 0) || !(plan->axisB > 0)) return std::nullopt;
    CircularMaskOverlayModel model;
    model.target = target;
    model.geometry.center = mapping.map({plan->centerX, plan->centerY});
    model.geometry.outerAxisA = plan->axisA * mapping.scaleX() * mapping.zoomScale;
    model.geometry.outerAxisB = plan->axisB * mapping.scaleY() * mapping.zoomScale;
    model.geometry.angleRadians = std::atan2(plan->sine, plan->cosine) + mapping.rotationRadians;
    model.geometry.feather = plan->feather;
    model.inversion = parameters.value(PhotoParameter::circular_mask_invert, target);
    model.aspect = parameters.value(PhotoParameter::circular_mask_aspect, target);
    return model;
}

Point LinearMaskOverlayModel::midpoint() const {
    const auto& line = geometry.centerLine;
    return {(line.start.x + line.end.x) / 2, (line.start.y + line.end.y) / 2};
}

Point LinearMaskOverlayModel::widthHandleCenter() const {
    const double distance = std::max(geometry.referenceLength * width / 100, kMinimumWidthHandleDistance);
    return plane::add(midpoint(), plane::scaled(geometry.increasingDirection, side() * distance));
}

Point LinearMaskOverlayModel::angleHandleCenter() const {
    return plane::subtract(midpoint(), plane::scaled(geometry.increasingDirection, side() * kAngleStalk));
}

std::array<Point, 3> LinearMaskOverlayModel::handleCenters() const {
    return {widthHandleCenter(), angleHandleCenter(), midpoint()};
}

std::optional<LinearMaskHandle> LinearMaskOverlayModel::handle(Point point) const {
    if (plane::within(point, widthHandleCenter(), kMaskHandleHitRadius)) return LinearMaskHandle::width;
    if (plane::within(point, angleHandleCenter(), kMaskHandleHitRadius)) return LinearMaskHandle::angle;
    if (plane::within(point, midpoint(), kMaskHandleHitRadius)) return LinearMaskHandle::position;
    return std::nullopt;
}

std::vector<MaskGuideSegment> LinearMaskOverlayModel::whiskers() const {
    const auto& line = geometry.centerLine;
    const Point along = plane::subtract(line.end, line.start);
    const Point tick = plane::scaled(geometry.increasingDirection, side() * kWhiskerLength);
    std::vector<MaskGuideSegment> result;
    result.reserve(kWhiskerCount);
    for (int k = 0; k < kWhiskerCount; ++k) {
        const Point p = plane::add(line.start, plane::scaled(along, (k + 0.5) / kWhiskerCount));
        result.push_back({p, plane::add(p, tick)});
    }
    return result;
}

std::optional<MaskGuideSegment> LinearMaskOverlayModel::clipInfiniteLine(Point origin, Point direction,
                                                                         const Rect& rect) {
    constexpr double kParallel = 1e-12;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double tmin;
    double tmax;
    if (std::abs(direction.x) < kParallel) {
        if (origin.x < rect.minX() || origin.x > rect.maxX()) return std::nullopt;
        tmin = -kInfinity;
        tmax = kInfinity;
    } else {
        const double t1 = (rect.minX() - origin.x) / direction.x;
        const double t2 = (rect.maxX() - origin.x) / direction.x;
        tmin = std::min(t1, t2);
        tmax = std::max(t1, t2);
    }
    if (std::abs(direction.y) < kParallel) {
        if (origin.y < rect.minY() || origin.y > rect.maxY()) return std::nullopt;
    } else {
        const double t1 = (rect.minY() - origin.y) / direction.y;
        const double t2 = (rect.maxY() - origin.y) / direction.y;
        tmin = std::max(tmin, std::min(t1, t2));
        tmax = std::min(tmax, std::max(t1, t2));
        if (tmin > tmax) return std::nullopt;
    }
    if (!std::isfinite(tmin) || !std::isfinite(tmax)) return std::nullopt;
    return MaskGuideSegment{plane::add(origin, plane::scaled(direction, tmin)),
                            plane::add(origin, plane::scaled(direction, tmax))};
}

std::optional<LinearMaskOverlayModel> LinearMaskOverlayModel::make(const PhotoParameters& parameters,
                                                                   ParameterEditTarget target,
                                                                   const MaskViewMapping& mapping) {
    if (!mappingIsUsable(mapping)) return std::nullopt;
    const auto plan = LinearMaskPlan::makeIgnoringAmount(parameters.pipelineParameters(target),
                                                         mapping.imageWidth, mapping.imageHeight);
    if (!plan) return std::nullopt;
    const double cs = plan->cosine;
    const double sn = plan->sine;
    const double length = plan->referenceLength;
    const Rect image{0, 0, static_cast<double>(mapping.imageWidth), static_cast<double>(mapping.imageHeight)};
    // The guide line at a position, in view points; none when it misses the image.
    const auto lineAt = [&](double position) -> std::optional<MaskGuideSegment> {
        const Point origin{plan->centerX + cs * length * position, plan->centerY + sn * length * position};
        const auto clipped = clipInfiniteLine(origin, {-sn, cs}, image);
        if (!clipped) return std::nullopt;
        return MaskGuideSegment{mapping.map(clipped->start), mapping.map(clipped->end)};
    };
    const auto centerLine = lineAt(plan->position);
    if (!centerLine) return std::nullopt;
    const double z = mapping.zoomScale;
    const double phi = mapping.rotationRadians;
    const Point g = plane::rotated({z * mapping.scaleX() * cs, z * mapping.scaleY() * sn}, phi);
    const Point t = plane::rotated({z * mapping.scaleX() * -sn, z * mapping.scaleY() * cs}, phi);
    const double gLength = plane::length(g);
    const double tLength = plane::length(t);
    if (!(gLength > 0) || !(tLength > 0)) return std::nullopt;

    LinearMaskOverlayModel model;
    model.target = target;
    model.geometry.referenceLength = length * gLength;
    model.geometry.increasingDirection = plane::scaled(g, 1 / gLength);
    model.geometry.lineDirection = plane::scaled(t, 1 / tLength);
    model.geometry.centerLine = *centerLine;
    if (plan->width != 0) {
        model.geometry.zeroLine = lineAt(plan->position - plan->width);
        model.geometry.oneLine = lineAt(plan->position + plan->width);
    }
    model.inversion = parameters.value(PhotoParameter::linear_mask_invert, target);
    model.width = parameters.value(PhotoParameter::linear_mask_width, target);
    return model;
}

MaskOverlayModels MaskOverlayModels::make(const PhotoParameters& parameters, ParameterEditTarget target,
                                          const MaskViewMapping& mapping) {
    const auto index = target.maskIndex();
    if (!index || *index < 0 || *index >= static_cast<int>(parameters.masks.size())) return {};
    const MaskKind& kind = parameters.masks[static_cast<std::size_t>(*index)].kind;
    MaskOverlayModels models;
    if (kind == MaskKind::circular()) {
        models.circular = CircularMaskOverlayModel::make(parameters, target, mapping);
    } else if (kind == MaskKind::linear()) {
        models.linear = LinearMaskOverlayModel::make(parameters, target, mapping);
    }
    return models;
}

} // namespace sorvin
