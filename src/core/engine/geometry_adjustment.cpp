#include "engine/geometry_adjustment.hpp"

#include "engine/geometry_resampler.hpp"
#include "engine/row_bands.hpp"
#include "model/photo_parameters.hpp"
#include "platform/draw_or_none.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

namespace sorvin {

namespace {

struct IntegralRect {
    int x0, y0, x1, y1;
};

// The rectangle made integral (outwards) and cut to the source; none when nothing is left.
std::optional<IntegralRect> outputArea(const Rect& rect, int width, int height) {
    double x = rect.x, y = rect.y, w = rect.width, h = rect.height;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h)) return std::nullopt;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    const double left = std::max(std::floor(x), 0.0);
    const double top = std::max(std::floor(y), 0.0);
    const double right = std::min(std::ceil(x + w), static_cast<double>(width));
    const double bottom = std::min(std::ceil(y + h), static_cast<double>(height));
    if (!(left < right) || !(top < bottom)) return std::nullopt;
    return IntegralRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                        static_cast<int>(bottom)};
}

SharedImage resample(const SharedImage& source, const IntegralRect& area, const GeometryValues& values,
                     bool parallel, const CancellationProbe& isCancelled) {
    const GeometryPlan plan(source->width(), source->height(), values);
    const GeometrySource sampler{source->data(), source->bytesPerRow(), source->width(), source->height()};
    const int outputWidth = area.x1 - area.x0;
    const int outputHeight = area.y1 - area.y0;
    // Every byte of every row is written, so the output is not cleared first.
    PixelBuffer output = PixelBuffer::forOverwrite(outputWidth, outputHeight);

    const auto cancelled = [&] { return isCancelled && isCancelled(); };
    // A band that stopped left rows unwritten: its result is never handed out, whatever the probe
    // answers afterwards.
    std::atomic<bool> stopped{false};
    const auto runBand = [&](int begin, int end) {
        for (int j = begin; j < end; ++j) {
            if (cancelled()) {
                stopped = true;
                return;
            }
            GeometryResampler::resampleRow(plan, sampler, output.row(j), outputWidth, area.x0,
                                           static_cast<double>(area.y0 + j));
        }
    };
    if (parallel)
        RowBands::of(outputHeight).run(runBand);
    else
        runBand(0, outputHeight);
    if (stopped || cancelled()) return nullptr;
    return makeImage(std::move(output));
}

} // namespace

GeometryValues GeometryValues::of(const PhotoParameters& parameters) {
    return {parameters[PhotoParameter::geometry_distortion],
            parameters[PhotoParameter::geometry_chromatic_red],
            parameters[PhotoParameter::geometry_chromatic_blue],
            parameters[PhotoParameter::geometry_perspective_vertical],
            parameters[PhotoParameter::geometry_perspective_horizontal],
            parameters[PhotoParameter::geometry_aspect],
            parameters[PhotoParameter::geometry_zoom]};
}

SharedImage GeometryAdjustment::applying(const SharedImage& source, const PhotoParameters& parameters,
                                         bool parallel, const CancellationProbe& isCancelled) {
    return applying(source, GeometryValues::of(parameters), parallel, isCancelled);
}

SharedImage GeometryAdjustment::applyingCrop(const SharedImage& source, const Rect& outputRect,
                                             const PhotoParameters& parameters, bool parallel,
                                             const CancellationProbe& isCancelled) {
    return applyingCrop(source, outputRect, GeometryValues::of(parameters), parallel, isCancelled);
}

SharedImage GeometryAdjustment::applying(const SharedImage& source, const GeometryValues& values,
                                         bool parallel, const CancellationProbe& isCancelled) {
    if (!source) return nullptr;
    return applyingCrop(
        source, Rect{0, 0, static_cast<double>(source->width()), static_cast<double>(source->height())},
        values, parallel, isCancelled);
}

SharedImage GeometryAdjustment::applyingCrop(const SharedImage& source, const Rect& outputRect,
                                             const GeometryValues& values, bool parallel,
                                             const CancellationProbe& isCancelled) {
    if (!source) return nullptr;
    const auto area = outputArea(outputRect, source->width(), source->height());
    if (!area) return nullptr;
    // No memory for the output gives no image, as any other failure does.
    return drawOrNone([&] { return resample(source, *area, values, parallel, isCancelled); });
}

} // namespace sorvin
