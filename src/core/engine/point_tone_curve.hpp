#pragma once

#include "model/parameter_page.hpp"

#include <array>
#include <cstdint>
#include <span>

namespace sorvin {

class PhotoParameters;

// One of the four point curves: five control points at the inputs 0, 0.25, 0.5, 0.75 and 1, joined
// by a monotone-preserving cubic Hermite spline.
struct PointToneCurve {
    std::array<double, 5> values{}; // control-point outputs, 0...1
    std::array<double, 5> slopes{}; // derivative at each control point
    bool isIdentity = false;        // the given points were exactly 0, 25, 50, 75, 100

    // The five stored values of one curve (0...100; out-of-range values are clamped).
    static PointToneCurve fromValues(const std::array<int, 5>& points);
    // The curve of one channel of a value set (absent points are the defaults).
    static PointToneCurve fromParameters(const PhotoParameters& parameters, PointCurveChannel channel);
    // The five stored values of one channel's curve, defaults for absent ones.
    static std::array<int, 5> pointValues(const PhotoParameters& parameters, PointCurveChannel channel);

    // The curve at t; an identity curve passes t through unchanged.
    double operator()(double t) const;

    // Entry i is the curve at i / 255 as a byte; made non-decreasing on request.
    std::array<std::uint8_t, 256> byteTable(bool monotonized) const;

    // Raises every entry that is below its predecessor to the predecessor's value.
    static void monotonize(std::span<std::uint8_t> table);

    bool operator==(const PointToneCurve&) const = default;
};

// The master curve and the three channel curves, as one value.
struct PointToneCurveSet {
    PointToneCurve master;
    PointToneCurve red;
    PointToneCurve green;
    PointToneCurve blue;

    bool operator==(const PointToneCurveSet&) const = default;
};

} // namespace sorvin
