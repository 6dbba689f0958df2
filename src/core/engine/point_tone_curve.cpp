#include "engine/point_tone_curve.hpp"

#include "engine/byte_rounding.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

PointToneCurve PointToneCurve::fromValues(const std::array<int, 5>& points) {
    PointToneCurve curve;
    curve.isIdentity = points == std::array<int, 5>{0, 25, 50, 75, 100};
    for (int k = 0; k < 5; ++k)
        curve.values[k] = std::clamp(points[k], 0, 100) / 100.0;

    const auto& y = curve.values;
    std::array<double, 4> secant{};
    for (int k = 0; k < 4; ++k)
        secant[k] = (y[k + 1] - y[k]) * 4;

    auto& m = curve.slopes;
    m[0] = secant[0];
    for (int k = 1; k < 4; ++k)
        m[k] = (secant[k - 1] + secant[k]) / 2;
    m[4] = secant[3];

    // Fritsch-Carlson limiting keeps every segment within its end values.
    for (int k = 0; k < 4; ++k) {
        const double d = secant[k];
        if (d == 0) {
            m[k] = 0;
            m[k + 1] = 0;
            continue;
        }
        double a = m[k] / d;
        double b = m[k + 1] / d;
        if (a < 0) {
            m[k] = 0;
            a = 0;
        }
        if (b < 0) {
            m[k + 1] = 0;
            b = 0;
        }
        const double lengthSquared = a * a + b * b;
        if (lengthSquared > 9) {
            const double tau = 3 / std::sqrt(lengthSquared);
            m[k] = tau * a * d;
            m[k + 1] = tau * b * d;
        }
    }
    return curve;
}

std::array<int, 5> PointToneCurve::pointValues(const PhotoParameters& parameters, PointCurveChannel channel) {
    std::array<int, 5> points{};
    for (int k = 0; k < 5; ++k)
        points[k] = parameters[ParameterCatalog::curvePoint(channel, k)];
    return points;
}

PointToneCurve PointToneCurve::fromParameters(const PhotoParameters& parameters, PointCurveChannel channel) {
    return fromValues(pointValues(parameters, channel));
}

double PointToneCurve::operator()(double t) const {
    if (isIdentity) return t;
    if (t <= 0) return values[0];
    if (t >= 1) return values[4];
    const int i = std::min(static_cast<int>(std::floor(4 * t)), 3);
    const double s = (t - 0.25 * i) * 4;
    const double s2 = s * s;
    const double s3 = s2 * s;
    const double h00 = 2 * s3 - 3 * s2 + 1;
    const double h10 = s3 - 2 * s2 + s;
    const double h01 = 3 * s2 - 2 * s3;
    const double h11 = s3 - s2;
    return h00 * values[i] + h10 * 0.25 * slopes[i] + h01 * values[i + 1] + h11 * 0.25 * slopes[i + 1];
}

std::array<std::uint8_t, 256> PointToneCurve::byteTable(bool monotonized) const {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        table[i] = roundedByte(255 * std::clamp((*this)(t), 0.0, 1.0));
    }
    if (monotonized) monotonize(table);
    return table;
}

void PointToneCurve::monotonize(std::span<std::uint8_t> table) {
    for (std::size_t i = 1; i < table.size(); ++i)
        table[i] = std::max(table[i], table[i - 1]);
}

} // namespace sorvin
