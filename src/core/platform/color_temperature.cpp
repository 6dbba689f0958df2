#include "platform/color_temperature.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

constexpr double kTintScale = 3000.0;

struct Uv {
    double u;
    double v;
};

Uv toUv(ColorTemperature::Chromaticity c) {
    const double d = -2.0 * c.x + 12.0 * c.y + 3.0;
    return {4.0 * c.x / d, 6.0 * c.y / d};
}

ColorTemperature::Chromaticity fromUv(Uv p) {
    const double d = 2.0 * p.u - 8.0 * p.v + 4.0;
    return {3.0 * p.u / d, 2.0 * p.v / d};
}

// Cubic-spline fit of the black-body locus in xy (Kim et al., 2002), 1667 K to 25000 K.
Uv locus(double kelvin) {
    const double t = std::clamp(kelvin, ColorTemperature::kMinimumKelvin, ColorTemperature::kMaximumKelvin);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double x = t <= 4000 ? -0.2661239e9 / t3 - 0.2343589e6 / t2 + 0.8776956e3 / t + 0.179910
                               : -3.0258469e9 / t3 + 2.1070379e6 / t2 + 0.2226347e3 / t + 0.240390;
    const double x2 = x * x;
    const double x3 = x2 * x;
    double y;
    if (t <= 2222) {
        y = -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683;
    } else if (t <= 4000) {
        y = -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867;
    } else {
        y = 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
    }
    return toUv({x, y});
}

// Unit normal of the locus at a temperature, pointing towards green (increasing v).
Uv greenNormal(double kelvin) {
    const double mired = 1e6 / kelvin;
    const Uv a = locus(1e6 / (mired - 0.5));
    const Uv b = locus(1e6 / (mired + 0.5));
    double nu = -(a.v - b.v);
    double nv = a.u - b.u;
    const double length = std::hypot(nu, nv);
    if (length <= 0) return {0, 1};
    nu /= length;
    nv /= length;
    if (nv < 0) {
        nu = -nu;
        nv = -nv;
    }
    return {nu, nv};
}

} // namespace

ColorTemperature::Chromaticity ColorTemperature::chromaticity(Setting setting) {
    const double kelvin = std::clamp(setting.kelvin, kMinimumKelvin, kMaximumKelvin);
    const Uv base = locus(kelvin);
    const Uv normal = greenNormal(kelvin);
    const double offset = setting.tint / kTintScale;
    return fromUv({base.u + normal.u * offset, base.v + normal.v * offset});
}

ColorTemperature::Setting ColorTemperature::setting(Chromaticity chromaticity) {
    const Uv p = toUv(chromaticity);
    auto distance2 = [&](double mired) {
        const Uv q = locus(1e6 / mired);
        return (p.u - q.u) * (p.u - q.u) + (p.v - q.v) * (p.v - q.v);
    };
    // Golden-section search in mired, where the locus is nearly uniform.
    constexpr double kRatio = 0.6180339887498949;
    double lo = 1e6 / kMaximumKelvin;
    double hi = 1e6 / kMinimumKelvin;
    double a = hi - kRatio * (hi - lo);
    double b = lo + kRatio * (hi - lo);
    double fa = distance2(a);
    double fb = distance2(b);
    for (int i = 0; i < 80; ++i) {
        if (fa < fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - kRatio * (hi - lo);
            fa = distance2(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + kRatio * (hi - lo);
            fb = distance2(b);
        }
    }
    const double kelvin = 1e6 / ((lo + hi) / 2);
    const Uv q = locus(kelvin);
    const Uv normal = greenNormal(kelvin);
    const double offset = (p.u - q.u) * normal.u + (p.v - q.v) * normal.v;
    return {kelvin, offset * kTintScale};
}

} // namespace sorvin
