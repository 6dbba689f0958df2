#include "platform/lanczos_resampler.hpp"

#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <new>
#include <tbb/blocked_range.h>
#include <vector>

namespace sorvin {

namespace {

// 14 fractional bits leave room in a signed 16-bit weight for the overshoot of a normalised tap.
constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr int kRoundHalf = 1 << (kWeightBits - 1);

double lanczos(double x) {
    x = std::fabs(x);
    if (x < 1e-9) return 1;
    if (x >= LanczosResampler::kLobes) return 0;
    const double pi = 3.14159265358979323846;
    const double px = pi * x;
    return LanczosResampler::kLobes * std::sin(px) * std::sin(px / LanczosResampler::kLobes) / (px * px);
}

// The taps of one axis: for output position i, weights[i * taps ...] over source positions
// first[i] ... first[i] + taps - 1 (unused taps have weight 0 and stay inside the source).
struct AxisFilter {
    int taps = 0;
    std::vector<int> first;
    std::vector<std::int16_t> weights;
};

// The window [start, start + length) of the source (pixel edges) drawn over the whole target.
AxisFilter axisFilter(int sourceSize, int targetSize, double start, double length) {
    const double scale = targetSize / length;
    const double stretch = std::min(scale, 1.0); // the filter widens by the reduction factor
    const double support = LanczosResampler::kLobes / stretch;
    AxisFilter filter;
    filter.taps = std::min(sourceSize, static_cast<int>(std::ceil(support * 2)) + 1);
    filter.first.resize(static_cast<std::size_t>(targetSize));
    filter.weights.assign(static_cast<std::size_t>(targetSize) * static_cast<std::size_t>(filter.taps), 0);
    std::vector<double> raw(static_cast<std::size_t>(filter.taps));
    for (int i = 0; i < targetSize; ++i) {
        const double centre = start + ((i + 0.5) / scale - 0.5);
        int left = static_cast<int>(std::floor(centre - support)) + 1;
        left = std::clamp(left, 0, sourceSize - filter.taps);
        double sum = 0;
        for (int k = 0; k < filter.taps; ++k) {
            raw[static_cast<std::size_t>(k)] = lanczos((left + k - centre) * stretch);
            sum += raw[static_cast<std::size_t>(k)];
        }
        if (sum == 0) { // cannot happen for a sane filter; keep the nearest pixel
            std::fill(raw.begin(), raw.end(), 0.0);
            raw[static_cast<std::size_t>(
                std::clamp(static_cast<int>(std::lround(centre)) - left, 0, filter.taps - 1))] = 1;
            sum = 1;
        }
        std::int16_t* out =
            filter.weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(filter.taps);
        int total = 0;
        int largest = 0;
        for (int k = 0; k < filter.taps; ++k) {
            out[k] = static_cast<std::int16_t>(
                std::clamp<long>(std::lround(raw[static_cast<std::size_t>(k)] / sum * kWeightOne),
                                 -kWeightOne, 2 * kWeightOne - 1));
            total += out[k];
            if (out[k] > out[largest]) largest = k;
        }
        out[largest] =
            static_cast<std::int16_t>(out[largest] + (kWeightOne - total)); // weights sum to exactly one
        filter.first[static_cast<std::size_t>(i)] = left;
    }
    return filter;
}

inline std::uint8_t toByte(int accumulated) {
    return static_cast<std::uint8_t>(std::clamp((accumulated + kRoundHalf) >> kWeightBits, 0, 255));
}

// Two taps per step: the two neighbouring pixels' bytes interleaved channel by channel (r0 r1 g0 g1
// ...) and multiplied with (w0 w1 w0 w1 ...) in one multiply-add, which leaves the four channel sums.
inline __m128i twoTaps(const std::uint8_t* pixels, const std::int16_t* weights) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i both = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels));
    const __m128i interleaved = _mm_unpacklo_epi8(_mm_unpacklo_epi8(both, _mm_srli_si128(both, 4)), zero);
    const std::int32_t pair =
        static_cast<std::uint16_t>(weights[0]) | (static_cast<std::int32_t>(weights[1]) << 16);
    return _mm_madd_epi16(interleaved, _mm_set1_epi32(pair));
}

void horizontalPass(const std::uint8_t* source, std::size_t sourceStride, int rows, const AxisFilter& filter,
                    int targetWidth, std::uint8_t* target, std::size_t targetStride) {
    parallelFor(tbb::blocked_range<int>(0, rows, 8), [&](const tbb::blocked_range<int>& range) {
        const __m128i half = _mm_set1_epi32(kRoundHalf);
        for (int y = range.begin(); y < range.end(); ++y) {
            const std::uint8_t* in = source + sourceStride * static_cast<std::size_t>(y);
            std::uint8_t* out = target + targetStride * static_cast<std::size_t>(y);
            for (int x = 0; x < targetWidth; ++x) {
                const std::int16_t* w = filter.weights.data() + static_cast<std::size_t>(x) * filter.taps;
                const std::uint8_t* p =
                    in + static_cast<std::size_t>(filter.first[static_cast<std::size_t>(x)]) * 4;
                __m128i sum = _mm_setzero_si128();
                int k = 0;
                for (; k + 1 < filter.taps; k += 2)
                    sum = _mm_add_epi32(sum, twoTaps(p + 4 * k, w + k));
                if (k <
                    filter.taps) { // an odd last tap, read alone so that nothing past the window is touched
                    std::int32_t one;
                    std::memcpy(&one, p + 4 * k, 4);
                    const __m128i pixel = _mm_unpacklo_epi16(
                        _mm_unpacklo_epi8(_mm_cvtsi32_si128(one), _mm_setzero_si128()), _mm_setzero_si128());
                    sum = _mm_add_epi32(
                        sum, _mm_madd_epi16(pixel, _mm_set1_epi32(static_cast<std::uint16_t>(w[k]))));
                }
                // Round, shift and saturate to bytes: 0...255, the packs clamp both ways.
                const __m128i shifted = _mm_srai_epi32(_mm_add_epi32(sum, half), kWeightBits);
                const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(shifted, shifted), shifted);
                const std::int32_t packed = _mm_cvtsi128_si32(bytes);
                std::memcpy(out + 4 * x, &packed, 4);
            }
        }
    });
}

// accumulator[i] += wa * a[i] + wb * b[i] over a row, sixteen bytes per step with one
// multiply-add per four bytes (the two rows' bytes interleaved).
void addTwoRows(const std::uint8_t* a, const std::uint8_t* b, std::int16_t wa, std::int16_t wb,
                std::size_t count, int* accumulator) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights =
        _mm_set1_epi32(static_cast<std::uint16_t>(wa) | (static_cast<std::int32_t>(wb) << 16));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i rowA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i rowB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i low = _mm_unpacklo_epi8(rowA, rowB);
        const __m128i high = _mm_unpackhi_epi8(rowA, rowB);
        const __m128i parts[4] = {_mm_unpacklo_epi8(low, zero), _mm_unpackhi_epi8(low, zero),
                                  _mm_unpacklo_epi8(high, zero), _mm_unpackhi_epi8(high, zero)};
        for (int j = 0; j < 4; ++j) {
            __m128i* sum = reinterpret_cast<__m128i*>(accumulator + i + 4 * j);
            _mm_storeu_si128(sum, _mm_add_epi32(_mm_loadu_si128(sum), _mm_madd_epi16(parts[j], weights)));
        }
    }
    for (; i < count; ++i)
        accumulator[i] += wa * a[i] + wb * b[i];
}

void verticalPass(const std::uint8_t* source, std::size_t stride, const AxisFilter& filter, int targetHeight,
                  PixelBuffer& target) {
    const std::size_t rowBytes = target.bytesPerRow();
    parallelFor(tbb::blocked_range<int>(0, targetHeight, 4), [&](const tbb::blocked_range<int>& range) {
        std::vector<int> accumulator(rowBytes);
        for (int y = range.begin(); y < range.end(); ++y) {
            std::fill(accumulator.begin(), accumulator.end(), 0);
            const std::int16_t* w = filter.weights.data() + static_cast<std::size_t>(y) * filter.taps;
            const int first = filter.first[static_cast<std::size_t>(y)];
            int k = 0;
            for (; k + 1 < filter.taps; k += 2)
                addTwoRows(source + stride * static_cast<std::size_t>(first + k),
                           source + stride * static_cast<std::size_t>(first + k + 1), w[k], w[k + 1],
                           rowBytes, accumulator.data());
            if (k < filter.taps && w[k] != 0) {
                const std::uint8_t* in = source + stride * static_cast<std::size_t>(first + k);
                for (std::size_t i = 0; i < rowBytes; ++i)
                    accumulator[i] += w[k] * in[i];
            }
            std::uint8_t* out = target.row(y);
            for (std::size_t i = 0; i < rowBytes; i += 4) {
                const std::uint8_t alpha = toByte(accumulator[i + 3]);
                out[i + 0] = std::min(toByte(accumulator[i + 0]), alpha);
                out[i + 1] = std::min(toByte(accumulator[i + 1]), alpha);
                out[i + 2] = std::min(toByte(accumulator[i + 2]), alpha);
                out[i + 3] = alpha;
            }
        }
    });
}

} // namespace

SharedImage LanczosResampler::resized(const SharedImage& image, int width, int height) {
    if (!image) return nullptr;
    return resized(image, {0, 0, static_cast<double>(image->width()), static_cast<double>(image->height())},
                   width, height);
}

SharedImage LanczosResampler::resized(const SharedImage& image, const SourceWindow& window, int width,
                                      int height) {
    if (!image || width < 1 || height < 1 || image->width() < 1 || image->height() < 1) return nullptr;
    if (!(window.width > 0 && window.height > 0 && window.x >= 0 && window.y >= 0 &&
          window.x + window.width <= image->width() && window.y + window.height <= image->height()))
        return nullptr;
    if (image->width() == width && image->height() == height && window.x == 0 && window.y == 0 &&
        window.width == width && window.height == height)
        return image;
    try {
        const AxisFilter horizontal = axisFilter(image->width(), width, window.x, window.width);
        const AxisFilter vertical = axisFilter(image->height(), height, window.y, window.height);
        // Width first: the intermediate rows are then as short as the result's.
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        std::vector<std::uint8_t> intermediate(stride * static_cast<std::size_t>(image->height()));
        horizontalPass(image->data(), image->bytesPerRow(), image->height(), horizontal, width,
                       intermediate.data(), stride);
        PixelBuffer result = PixelBuffer::forOverwrite(width, height);
        verticalPass(intermediate.data(), stride, vertical, height, result);
        return makeImage(std::move(result));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace sorvin
