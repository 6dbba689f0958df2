#include "engine/display_adjustment_resolution.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/parameter_adjustment.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>
#include <immintrin.h>
#include <numbers>
#include <tbb/blocked_range.h>
#include <vector>

namespace sorvin {

namespace {

// Lanczos with three lobes: sharp, with little ringing; widened by the reduction factor so that
// every source pixel contributes (no aliasing on large reductions).
constexpr double kLobes = 3.0;

double lanczos(double x) {
    if (x == 0) return 1;
    if (std::abs(x) >= kLobes) return 0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For each output position, the source positions it reads and their normalised weights.
struct FilterTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights; // count[i] weights starting at i * stride
    int stride = 0;
};

FilterTaps makeTaps(int sourceSize, int targetSize) {
    const double ratio = static_cast<double>(sourceSize) / targetSize;
    const double widen = std::max(ratio, 1.0);
    const double support = kLobes * widen;
    FilterTaps taps;
    taps.stride = static_cast<int>(std::ceil(2 * support)) + 2;
    taps.first.resize(targetSize);
    taps.count.resize(targetSize);
    taps.weights.assign(static_cast<std::size_t>(targetSize) * taps.stride, 0.0f);
    std::vector<double> raw(taps.stride);
    for (int i = 0; i < targetSize; ++i) {
        const double center = (i + 0.5) * ratio - 0.5;
        const int lo = std::max(0, static_cast<int>(std::floor(center - support)) + 1);
        const int hi = std::min(sourceSize - 1, static_cast<int>(std::floor(center + support)));
        double total = 0;
        int n = 0;
        for (int j = lo; j <= hi && n < taps.stride; ++j, ++n) {
            raw[n] = lanczos((j - center) / widen);
            total += raw[n];
        }
        taps.first[i] = lo;
        taps.count[i] = n;
        float* w = &taps.weights[static_cast<std::size_t>(i) * taps.stride];
        for (int k = 0; k < n; ++k)
            w[k] = static_cast<float>(raw[k] / total);
    }
    return taps;
}

// acc = w * source (first tap) or acc += w * source; compiled for AVX2 too, picked at load time.
// ThreadSanitizer cannot have the picking: its resolver runs before the sanitizer has started.
#if defined(__SANITIZE_THREAD__)
#define SORVIN_AVX2_CLONES
#else
#define SORVIN_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif
SORVIN_AVX2_CLONES void accumulate(float* __restrict acc, const std::uint8_t* __restrict source, float w,
                                   std::size_t count, bool first) {
    if (first) {
        for (std::size_t i = 0; i < count; ++i)
            acc[i] = w * static_cast<float>(source[i]);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            acc[i] += w * static_cast<float>(source[i]);
    }
}

// One output pixel's four channels are one SSE register: each tap is a multiply and an add.
void filterColumns(const float* vertical, const FilterTaps& columns, std::uint8_t* out, int newWidth) {
    for (int x = 0; x < newWidth; ++x) {
        const float* columnWeights = &columns.weights[static_cast<std::size_t>(x) * columns.stride];
        const float* in = &vertical[static_cast<std::size_t>(columns.first[x]) * 4];
        __m128 sum = _mm_setzero_ps();
        for (int k = 0; k < columns.count[x]; ++k) {
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(columnWeights[k]), _mm_loadu_ps(in + 4 * k)));
        }
        alignas(16) float channels[4];
        _mm_store_ps(channels, sum);
        // The negative lobes can overshoot; a premultiplied colour never exceeds its alpha.
        const std::uint8_t alpha = roundedByte(channels[3]);
        out[4 * x] = std::min(roundedByte(channels[0]), alpha);
        out[4 * x + 1] = std::min(roundedByte(channels[1]), alpha);
        out[4 * x + 2] = std::min(roundedByte(channels[2]), alpha);
        out[4 * x + 3] = alpha;
    }
}

} // namespace

SharedImage DisplayAdjustmentResolution::resized(const SharedImage& image, int longEdge) {
    if (!image) return nullptr;
    const int width = image->width();
    const int height = image->height();
    const int longest = std::max(width, height);
    if (longest < 1 || longEdge < 1) return nullptr;
    if (longEdge >= longest) return image;

    const double scale = static_cast<double>(longEdge) / longest;
    const int newWidth = static_cast<int>(std::max<std::int64_t>(1, roundedHalfAway(scale * width)));
    const int newHeight = static_cast<int>(std::max<std::int64_t>(1, roundedHalfAway(scale * height)));
    auto bitmap = ParameterAdjustment::rgbaContext(newWidth, newHeight);
    if (!bitmap) return nullptr;

    const FilterTaps columns = makeTaps(width, newWidth);
    const FilterTaps rows = makeTaps(height, newHeight);
    const std::size_t sourceRowLength = static_cast<std::size_t>(width) * 4;

    parallelFor(tbb::blocked_range<int>(0, newHeight), [&](const tbb::blocked_range<int>& range) {
        std::vector<float> vertical(sourceRowLength);
        for (int y = range.begin(); y != range.end(); ++y) {
            // Vertical pass into one row of floats, then the horizontal pass into the bitmap.
            const float* rowWeights = &rows.weights[static_cast<std::size_t>(y) * rows.stride];
            for (int k = 0; k < rows.count[y]; ++k) {
                accumulate(vertical.data(), image->row(rows.first[y] + k), rowWeights[k], sourceRowLength,
                           k == 0);
            }
            filterColumns(vertical.data(), columns, bitmap->row(y), newWidth);
        }
    });
    return makeImage(std::move(*bitmap));
}

} // namespace sorvin
