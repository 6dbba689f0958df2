#include "panel/tone_curve_graph_model.hpp"

#include "engine/parameter_adjustment.hpp"
#include "engine/point_tone_curve.hpp"

#include <algorithm>

namespace sorvin {

std::optional<ToneCurveGraphModel> ToneCurveGraphModel::make(const std::optional<PhotoParameters>& parameters,
                                                             PointCurveChannel selectedChannel) {
    if (!parameters) return std::nullopt;
    ToneCurveGraphModel model;
    if (const auto tables = ParameterAdjustment::lookupTables(*parameters)) {
        model.finalRed = tables->red;
        model.finalGreen = tables->green;
        model.finalBlue = tables->blue;
    } else {
        const ByteTable& identity = ParameterAdjustment::identityTable();
        model.finalRed = model.finalGreen = model.finalBlue = identity;
    }
    // The raw curve: a dip the user made shows, though development forces it non-decreasing.
    model.selectedCurve = PointToneCurve::fromParameters(*parameters, selectedChannel).byteTable(false);
    model.selectedValues = PointToneCurve::pointValues(*parameters, selectedChannel);
    model.selectedChannel = selectedChannel;
    return model;
}

std::array<Point, 5> ToneCurveGraphModel::controlPoints() const {
    std::array<Point, 5> points;
    for (std::size_t k = 0; k < points.size(); ++k)
        points[k] = {static_cast<double>(k) * 0.25 * side, 159 - selectedValues[k] / 100.0 * 158};
    return points;
}

std::array<Point, 5> ToneCurveGraphModel::markerCanvasPoints() const {
    std::array<Point, 5> points = controlPoints();
    for (Point& point : points) {
        point.x += markerInset;
        point.y += markerInset;
    }
    return points;
}

std::vector<Point> ToneCurveGraphModel::tablePath(std::span<const std::uint8_t> table, double lineWidth) {
    const std::size_t count = std::min<std::size_t>(table.size(), 256);
    std::vector<Point> points;
    points.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        points.push_back({static_cast<double>(i) / 255 * side,
                          (side - lineWidth / 2) - (side - lineWidth) * table[i] / 255.0});
    return points;
}

} // namespace sorvin
