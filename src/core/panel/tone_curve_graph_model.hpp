#pragma once

#include "engine/parameter_lookup_tables.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameters.hpp"
#include "platform/geometry.hpp"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace sorvin {

// What the tone curve graph of a curve page shows: the engine's three final tone tables and the
// raw point curve of the page's channel with its five control points. The graph is drawn at
// 160 x 160 pt and scaled by its host.
struct ToneCurveGraphModel {
    static constexpr double side = 160;
    // The marker layer overhangs the graph by this much on every side.
    static constexpr double markerInset = 4;

    ByteTable finalRed{};
    ByteTable finalGreen{};
    ByteTable finalBlue{};
    ByteTable selectedCurve{};
    std::array<int, 5> selectedValues{};
    PointCurveChannel selectedChannel = PointCurveChannel::rgb;

    // None exactly when there are no parameters (no current photo).
    static std::optional<ToneCurveGraphModel> make(const std::optional<PhotoParameters>& parameters,
                                                   PointCurveChannel selectedChannel);

    // The control points in graph coordinates: x at the point's input, y with 0 at 159 and 100 at 1.
    std::array<Point, 5> controlPoints() const;
    // The same points in the marker layer's coordinates.
    std::array<Point, 5> markerCanvasPoints() const;

    // The polyline of a table drawn `lineWidth` wide: x over the full width, y keeping half the
    // line inside the top and bottom edges. Entries past the 256th are ignored.
    static std::vector<Point> tablePath(std::span<const std::uint8_t> table, double lineWidth);

    friend bool operator==(const ToneCurveGraphModel&, const ToneCurveGraphModel&) = default;
};

} // namespace sorvin
