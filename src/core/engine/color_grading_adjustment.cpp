#include "engine/color_grading_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "model/photo_parameters.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>
#include <tbb/blocked_range.h>

namespace sorvin {

const ColorGradingPlan ColorGradingPlan::zero{};

ColorGradingValues ColorGradingValues::of(const PhotoParameters& parameters) {
    using P = PhotoParameter;
    ColorGradingValues v;
    v.shadowsHue = parameters[P::grading_shadows_hue];
    v.shadowsSaturation = parameters[P::grading_shadows_saturation];
    v.midtonesHue = parameters[P::grading_midtones_hue];
    v.midtonesSaturation = parameters[P::grading_midtones_saturation];
    v.highlightsHue = parameters[P::grading_highlights_hue];
    v.highlightsSaturation = parameters[P::grading_highlights_saturation];
    v.globalHue = parameters[P::grading_global_hue];
    v.globalSaturation = parameters[P::grading_global_saturation];
    v.blending = parameters[P::grading_blending];
    v.balance = parameters[P::grading_balance];
    return v;
}

std::optional<ColorGradingPlan> ColorGradingAdjustment::plan(const PhotoParameters& parameters) {
    return plan(ColorGradingValues::of(parameters));
}

ColorGradingDirection ColorGradingAdjustment::direction(int hue, int saturation) {
    // Hue -100...100 spans +-180 degrees; a negative saturation points to the opposite colour.
    const double h = std::clamp(hue, -100, 100) * 1.8;
    const double s = std::clamp(saturation, -100, 100);
    const double angle = s < 0 ? h + 180 : h;
    return direction(angle, std::abs(s) / 100);
}

ColorGradingDirection ColorGradingAdjustment::direction(double angleDegrees, double strength) {
    const double a = angleDegrees - std::floor(angleDegrees / 360) * 360;
    const double n = std::floor(a / 60);
    const double f = a / 60 - n;
    ColorGradingDirection d;
    switch (static_cast<int>(n)) {
    case 0:
        d.red = 1, d.green = f, d.blue = 0;
        break;
    case 1:
        d.red = 1 - f, d.green = 1, d.blue = 0;
        break;
    case 2:
        d.red = 0, d.green = 1, d.blue = f;
        break;
    case 3:
        d.red = 0, d.green = 1 - f, d.blue = 1;
        break;
    case 4:
        d.red = f, d.green = 0, d.blue = 1;
        break;
    default:
        d.red = 1, d.green = 0, d.blue = 1 - f;
        break;
    }
    d.luminance = 0.2126 * d.red + 0.7152 * d.green + 0.0722 * d.blue;
    const double dr = d.red - d.luminance;
    const double dg = d.green - d.luminance;
    const double db = d.blue - d.luminance;
    d.length = std::sqrt(dr * dr + dg * dg + db * db);
    d.unitRed = dr / d.length;
    d.unitGreen = dg / d.length;
    d.unitBlue = db / d.length;
    d.strength = strength;
    return d;
}

std::optional<ColorGradingPlan> ColorGradingAdjustment::plan(const ColorGradingValues& values) {
    if (values == ColorGradingValues{}) return std::nullopt;
    const ColorGradingDirection shadows = direction(values.shadowsHue, values.shadowsSaturation);
    const ColorGradingDirection midtones = direction(values.midtonesHue, values.midtonesSaturation);
    const ColorGradingDirection highlights = direction(values.highlightsHue, values.highlightsSaturation);
    const ColorGradingDirection global = direction(values.globalHue, values.globalSaturation);

    // The pivot between shadows and highlights sits at 0.2...0.8; blending softens or hardens the
    // zone boundaries.
    const double pivot = std::clamp(values.balance, -100, 100) / 100.0 * 0.3 + 0.5;
    const double exponent = std::clamp(values.blending, -100, 100) / -100.0 * 0.75 + 1;

    ColorGradingPlan plan;
    for (int i = 0; i < 256; ++i) {
        const double x = i / 255.0;
        const double shadowBase = x < pivot ? 1 - x / pivot : 0;
        const double highlightBase = x >= pivot ? (x - pivot) / (1 - pivot) : 0;
        double ws = std::pow(shadowBase, exponent);
        double wm = std::pow(1 - shadowBase - highlightBase, exponent);
        double wh = std::pow(highlightBase, exponent);
        const double total = ws + wm + wh;
        ws /= total;
        wm /= total;
        wh /= total;
        const auto offset = [&](double ColorGradingDirection::*unit) {
            return 0.35 *
                   (shadows.strength * (shadows.*unit) * ws + midtones.strength * (midtones.*unit) * wm +
                    highlights.strength * (highlights.*unit) * wh + global.strength * (global.*unit));
        };
        plan.red[i] = offset(&ColorGradingDirection::unitRed);
        plan.green[i] = offset(&ColorGradingDirection::unitGreen);
        plan.blue[i] = offset(&ColorGradingDirection::unitBlue);
    }
    return plan;
}

std::vector<std::uint8_t> ColorGradingAdjustment::byteTable(const ColorGradingPlan& plan) {
    std::vector<std::uint8_t> table(3 * 256 * 256);
    const std::array<const std::array<double, 256>*, 3> channels{&plan.red, &plan.green, &plan.blue};
    // 196,608 entries, built on every core: a row of 256 bytes per offset.
    parallelFor(tbb::blocked_range<int>(0, 3 * 256, 16), [&](const tbb::blocked_range<int>& rows) {
        for (int row = rows.begin(); row != rows.end(); ++row) {
            const double offset =
                (*channels[static_cast<std::size_t>(row / 256)])[static_cast<std::size_t>(row % 256)];
            std::uint8_t* entry = table.data() + static_cast<std::size_t>(row) * 256;
            for (int value = 0; value < 256; ++value)
                entry[value] = gradedByte(offset, static_cast<std::uint8_t>(value));
        }
    });
    return table;
}

} // namespace sorvin
