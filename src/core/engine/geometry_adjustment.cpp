#include "engine/geometry_adjustment.hpp"

#include "engine/byte_rounding.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <tbb/parallel_for.h>

namespace sorvin {

namespace {

struct GeometryPlan {
    int width = 0;
    int height = 0;
    double centerX = 0;
    double centerY = 0;
    double halfDiagonal = 0;
    double inverseHalfDiagonal = 0;
    double perspectiveVertical = 0;
    double perspectiveHorizontal = 0;
    double aspect = 1;
    double inverseAspect = 1;
    double zoom = 1;
    double inverseZoom = 1;
    double distortion = 0;
    double redScale = 1;
    double blueScale = 1;
    bool chromatic = false;

    GeometryPlan(int sourceWidth, int sourceHeight, const GeometryValues& values)
        : width(sourceWidth), height(sourceHeight), centerX((sourceWidth - 1) / 2.0),
          centerY((sourceHeight - 1) / 2.0) {
        halfDiagonal = std::sqrt(centerX * centerX + centerY * centerY);
        inverseHalfDiagonal = halfDiagonal == 0 ? 0 : 1 / halfDiagonal;
        perspectiveVertical = values.perspectiveVertical / 100.0 * 0.3;
        perspectiveHorizontal = values.perspectiveHorizontal / 100.0 * 0.3;
        aspect = values.aspect / 100.0 * 0.3 + 1;
        inverseAspect = 1 / aspect;
        zoom = values.zoom / 100.0 + 1;
        inverseZoom = 1 / zoom;
        distortion = values.distortion / 100.0 * 0.35;
        redScale = values.chromaticRed / 100.0 * 0.004 + 1;
        blueScale = values.chromaticBlue / 100.0 * 0.004 + 1;
        chromatic = values.chromaticRed != 0 || values.chromaticBlue != 0;
    }
};

// A mapped position lands on the border up to the rounding of the mapping itself, and can then
// come out a hair outside (an unchanged geometry would lose its last row and column to black).
// Positions that close to the border are taken as on it.
constexpr double kBorderTolerance = 1e-6;

inline bool snapInside(double& p, int size) {
    const double last = size - 1;
    if (p < 0) {
        if (p < -kBorderTolerance) return false;
        p = 0;
    } else if (p > last) {
        if (p > last + kBorderTolerance) return false;
        p = last;
    }
    return true;
}

struct Sampler {
    const std::uint8_t* bytes;
    std::size_t bytesPerRow;
    int width;
    int height;

    // Bilinear weights at (px, py); false when the position is outside the source.
    struct Taps {
        const std::uint8_t* p00;
        const std::uint8_t* p10;
        const std::uint8_t* p01;
        const std::uint8_t* p11;
        double fx;
        double fy;
    };

    bool taps(double px, double py, Taps& t) const {
        if (!snapInside(px, width) || !snapInside(py, height)) return false;
        const int x0 = static_cast<int>(px); // px >= 0, so truncation is floor
        const int y0 = static_cast<int>(py);
        const int x1 = std::min(x0 + 1, width - 1);
        const int y1 = std::min(y0 + 1, height - 1);
        t.fx = px - x0;
        t.fy = py - y0;
        const std::uint8_t* row0 = bytes + bytesPerRow * static_cast<std::size_t>(y0);
        const std::uint8_t* row1 = bytes + bytesPerRow * static_cast<std::size_t>(y1);
        t.p00 = row0 + 4 * static_cast<std::size_t>(x0);
        t.p10 = row0 + 4 * static_cast<std::size_t>(x1);
        t.p01 = row1 + 4 * static_cast<std::size_t>(x0);
        t.p11 = row1 + 4 * static_cast<std::size_t>(x1);
        return true;
    }

    static std::uint8_t channel(const Taps& t, int c) {
        const double top = (1 - t.fx) * t.p00[c] + t.fx * t.p10[c];
        const double bottom = (1 - t.fx) * t.p01[c] + t.fx * t.p11[c];
        return roundedByte((1 - t.fy) * top + t.fy * bottom);
    }

    std::uint8_t sample(double px, double py, int c) const {
        Taps t;
        return taps(px, py, t) ? channel(t, c) : 0;
    }
};

void resampleRow(const GeometryPlan& plan, const Sampler& source, std::uint8_t* out, int outputWidth,
                 double minX, double Y) {
    for (int i = 0; i < outputWidth; ++i, out += 4) {
        const double X = minX + i;
        double u = (X - plan.centerX) * plan.inverseHalfDiagonal;
        double v = (Y - plan.centerY) * plan.inverseHalfDiagonal;
        out[3] = 255;
        const double den = 1 + plan.perspectiveHorizontal * u - plan.perspectiveVertical * v;
        if (den < 0.2) {
            out[0] = out[1] = out[2] = 0;
            continue;
        }
        const double k = 1 / den;
        u = u * k * plan.inverseAspect * plan.inverseZoom;
        v = v * k * plan.aspect * plan.inverseZoom;
        const double f = 1 + plan.distortion * (u * u + v * v);
        u = u * f;
        v = v * f;
        double sx = plan.halfDiagonal * u + plan.centerX;
        double sy = plan.halfDiagonal * v + plan.centerY;
        if (plan.halfDiagonal == 0) {
            sx = plan.centerX;
            sy = plan.centerY;
        }
        if (!plan.chromatic) {
            Sampler::Taps t;
            if (source.taps(sx, sy, t)) {
                out[0] = Sampler::channel(t, 0);
                out[1] = Sampler::channel(t, 1);
                out[2] = Sampler::channel(t, 2);
            } else {
                out[0] = out[1] = out[2] = 0;
            }
            continue;
        }
        out[0] = source.sample(plan.centerX + plan.halfDiagonal * u * plan.redScale,
                               plan.centerY + plan.halfDiagonal * v * plan.redScale, 0);
        out[1] = source.sample(sx, sy, 1);
        out[2] = source.sample(plan.centerX + plan.halfDiagonal * u * plan.blueScale,
                               plan.centerY + plan.halfDiagonal * v * plan.blueScale, 2);
    }
}

struct IntegralRect {
    int x0, y0, x1, y1;
};

// The rectangle made integral (outwards) and cut to the source; none when nothing is left.
std::optional<IntegralRect> outputArea(const GeometryRect& rect, int width, int height) {
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
                     bool parallel, const GeometryAdjustment::CancellationProbe& isCancelled) {
    const GeometryPlan plan(source->width(), source->height(), values);
    const Sampler sampler{source->data(), source->bytesPerRow(), source->width(), source->height()};
    const int outputWidth = area.x1 - area.x0;
    const int outputHeight = area.y1 - area.y0;
    PixelBuffer output = PixelBuffer::forOverwrite(outputWidth, outputHeight);

    const auto cancelled = [&] { return isCancelled && isCancelled(); };
    const int bandCount =
        std::max(1, (outputHeight + GeometryAdjustment::kBandRows - 1) / GeometryAdjustment::kBandRows);
    const auto runBand = [&](int band) {
        const int begin = band * GeometryAdjustment::kBandRows;
        const int end = std::min(outputHeight, begin + GeometryAdjustment::kBandRows);
        for (int j = begin; j < end; ++j) {
            if (cancelled()) return;
            resampleRow(plan, sampler, output.row(j), outputWidth, area.x0, static_cast<double>(area.y0 + j));
        }
    };
    if (parallel)
        tbb::parallel_for(0, bandCount, runBand);
    else
        for (int band = 0; band < bandCount; ++band)
            runBand(band);
    if (cancelled()) return nullptr;
    return makeImage(std::move(output));
}

} // namespace

SharedImage GeometryAdjustment::applying(const SharedImage& source, const GeometryValues& values,
                                         bool parallel, const CancellationProbe& isCancelled) {
    if (!source) return nullptr;
    return applyingCrop(
        source,
        GeometryRect{0, 0, static_cast<double>(source->width()), static_cast<double>(source->height())},
        values, parallel, isCancelled);
}

SharedImage GeometryAdjustment::applyingCrop(const SharedImage& source, const GeometryRect& outputRect,
                                             const GeometryValues& values, bool parallel,
                                             const CancellationProbe& isCancelled) {
    if (!source) return nullptr;
    const auto area = outputArea(outputRect, source->width(), source->height());
    if (!area) return nullptr;
    return resample(source, *area, values, parallel, isCancelled);
}

} // namespace sorvin
