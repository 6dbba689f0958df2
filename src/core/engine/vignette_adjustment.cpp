#include "engine/vignette_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tbb/parallel_for.h>

namespace sorvin {

namespace {

double encodedSrgb(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}

int levelAtSquaredDistance(const VignetteGeometry& geometry, double squaredDistance) {
    const double t =
        std::clamp((std::sqrt(squaredDistance) - geometry.midpoint) / geometry.feather, 0.0, 1.0);
    return roundedByte(t * t * (3 - 2 * t) * 255);
}

double squaredDistance(const VignettePlan& plan, int x, int y) {
    const VignetteGeometry& g = plan.geometry;
    if (!g.isRotated)
        return plan.columnTerms[static_cast<std::size_t>(x)] + plan.rowTerms[static_cast<std::size_t>(y)];
    const double dx = x - g.centerX;
    const double dy = y - g.centerY;
    const double u = (dx * g.rotationCosine - dy * g.rotationSine) / g.axisX;
    const double v = (dy * g.rotationCosine + dx * g.rotationSine) / g.axisY;
    return u * u + v * v;
}

} // namespace

const std::array<double, 256>& VignetteAdjustment::linearComponents() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            values[static_cast<std::size_t>(i)] =
                c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table;
}

std::vector<std::uint8_t> VignetteAdjustment::makeTable(int amount) {
    const double a = std::clamp(amount, -100, 100) / 100.0;
    const auto& linear = linearComponents();
    std::vector<std::uint8_t> table(65536);
    // 65,536 powers: built on every core, a level per task.
    tbb::parallel_for(0, 256, [&](int k) {
        const double gain = 1 - 0.6 * a * k / 255;
        for (int v = 0; v < 256; ++v) {
            const double lin = std::clamp(gain * linear[static_cast<std::size_t>(v)], 0.0, 1.0);
            table[static_cast<std::size_t>(k * 256 + v)] = roundedByte(encodedSrgb(lin) * 255);
        }
    });
    return table;
}

std::optional<VignettePlan> VignetteAdjustment::plan(const PhotoParameters& parameters, int width, int height,
                                                     const std::optional<VignetteFrame>& frame) {
    return plan(parameters[PhotoParameter::vignette_amount], parameters[PhotoParameter::vignette_midpoint],
                parameters[PhotoParameter::vignette_roundness], parameters[PhotoParameter::vignette_feather],
                width, height, frame);
}

std::optional<VignettePlan> VignetteAdjustment::plan(int amount, int midpoint, int roundness, int feather,
                                                     int width, int height,
                                                     const std::optional<VignetteFrame>& frame) {
    if (amount == 0 || width < 1 || height < 1) return std::nullopt;
    const VignetteFrame f =
        frame.value_or(VignetteFrame{(width - 1) / 2.0, (height - 1) / 2.0, width, height, 0});
    if (f.width < 1 || f.height < 1) return std::nullopt;

    VignettePlan plan;
    VignetteGeometry& g = plan.geometry;
    g.centerX = f.centerX;
    g.centerY = f.centerY;
    const double halfW = (f.width - 1) / 2.0;
    const double halfH = (f.height - 1) / 2.0;
    const double m = std::min(halfW, halfH);
    // Roundness -100 follows the frame's proportions, +100 is a circle.
    const double t = (std::clamp(roundness, -100, 100) + 100) / 200.0;
    g.axisX = halfW + (m - halfW) * t;
    g.axisY = halfH + (m - halfH) * t;
    if (g.axisX == 0) g.axisX = 0.5;
    if (g.axisY == 0) g.axisY = 0.5;
    g.midpoint = std::clamp(midpoint, -100, 100) / 100.0 * 0.4 + 0.5;
    g.feather = std::clamp(feather, -100, 100) / 100.0 * 0.6 + 1;
    if (f.rotation != 0) {
        const double angle = -f.rotation * std::numbers::pi / 180;
        g.rotationSine = std::sin(angle);
        g.rotationCosine = std::cos(angle);
        g.isRotated = true;
    } else {
        plan.columnTerms.resize(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) {
            const double d = (x - g.centerX) / g.axisX;
            plan.columnTerms[static_cast<std::size_t>(x)] = d * d;
        }
        plan.rowTerms.resize(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            const double d = (y - g.centerY) / g.axisY;
            plan.rowTerms[static_cast<std::size_t>(y)] = d * d;
        }
    }
    plan.table = makeTable(amount);
    return plan;
}

int VignetteAdjustment::level(const VignettePlan& plan, int x, int y) {
    return levelAtSquaredDistance(plan.geometry, squaredDistance(plan, x, y));
}

void VignetteAdjustment::applyRow(std::uint8_t* rgba, int y, int width, const VignettePlan& plan) {
    const std::uint8_t* table = plan.table.data();
    std::uint8_t* px = rgba;
    for (int x = 0; x < width; ++x, px += 4) {
        const std::uint8_t* row = table + static_cast<std::size_t>(level(plan, x, y)) * 256;
        px[0] = row[px[0]];
        px[1] = row[px[1]];
        px[2] = row[px[2]];
    }
}

} // namespace sorvin
