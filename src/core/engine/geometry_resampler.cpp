#include "engine/geometry_resampler.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

namespace sorvin {

namespace {

// A mapped position lands on the border up to the rounding of the mapping itself, and can then
// come out a hair outside (an unchanged geometry would lose its first or last column to black).
// Positions that close to the border are taken as on it.
constexpr double kBorderTolerance = 1e-6;

// Clamps p into 0...size - 1 when it lies inside up to the tolerance; false otherwise (NaN too).
inline bool snapInside(double& p, int size) {
    const double last = size - 1;
    if (!(p >= -kBorderTolerance && p <= last + kBorderTolerance)) return false;
    p = std::clamp(p, 0.0, last);
    return true;
}

struct Taps {
    const std::uint8_t* p00;
    const std::uint8_t* p10;
    const std::uint8_t* p01;
    const std::uint8_t* p11;
    double fx;
    double fy;
};

inline bool tapsAt(const GeometrySource& source, double px, double py, Taps& t) {
    if (!snapInside(px, source.width) || !snapInside(py, source.height)) return false;
    const int x0 = static_cast<int>(px); // px >= 0, so truncation is floor
    const int y0 = static_cast<int>(py);
    const int x1 = std::min(x0 + 1, source.width - 1);
    const int y1 = std::min(y0 + 1, source.height - 1);
    t.fx = px - x0;
    t.fy = py - y0;
    const std::uint8_t* row0 = source.bytes + source.bytesPerRow * static_cast<std::size_t>(y0);
    const std::uint8_t* row1 = source.bytes + source.bytesPerRow * static_cast<std::size_t>(y1);
    t.p00 = row0 + 4 * static_cast<std::size_t>(x0);
    t.p10 = row0 + 4 * static_cast<std::size_t>(x1);
    t.p01 = row1 + 4 * static_cast<std::size_t>(x0);
    t.p11 = row1 + 4 * static_cast<std::size_t>(x1);
    return true;
}

inline std::uint8_t bilinear(const Taps& t, int c) {
    const double top = (1 - t.fx) * t.p00[c] + t.fx * t.p10[c];
    const double bottom = (1 - t.fx) * t.p01[c] + t.fx * t.p11[c];
    return roundedByte((1 - t.fy) * top + t.fy * bottom);
}

inline std::uint8_t sampleChannel(const GeometrySource& source, double px, double py, int c) {
    Taps t;
    return tapsAt(source, px, py, t) ? bilinear(t, c) : 0;
}

// ---- four pixels at a time ----

struct VectorTaps {
    __m128i p00, p10, p01, p11; // whole RGBA pixels
    __m256d fx, fy;
    __m256d valid; // all bits set where the position is inside
};

__attribute__((target("avx2"))) inline __m256d snapInside4(__m256d p, double last, __m256d& valid) {
    const __m256d low = _mm256_set1_pd(-kBorderTolerance);
    const __m256d high = _mm256_set1_pd(last + kBorderTolerance);
    const __m256d inside =
        _mm256_and_pd(_mm256_cmp_pd(p, low, _CMP_GE_OQ), _mm256_cmp_pd(p, high, _CMP_LE_OQ));
    valid = _mm256_and_pd(valid, inside);
    return _mm256_min_pd(_mm256_max_pd(p, _mm256_setzero_pd()), _mm256_set1_pd(last));
}

__attribute__((target("avx2"))) inline VectorTaps tapsAt4(const GeometrySource& source, __m256d px,
                                                          __m256d py) {
    VectorTaps t;
    t.valid = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    px = snapInside4(px, source.width - 1, t.valid);
    py = snapInside4(py, source.height - 1, t.valid);
    // Lanes outside read pixel (0, 0) and are masked out afterwards.
    px = _mm256_and_pd(px, t.valid);
    py = _mm256_and_pd(py, t.valid);
    const __m128i x0 = _mm256_cvttpd_epi32(px);
    const __m128i y0 = _mm256_cvttpd_epi32(py);
    t.fx = _mm256_sub_pd(px, _mm256_cvtepi32_pd(x0));
    t.fy = _mm256_sub_pd(py, _mm256_cvtepi32_pd(y0));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i x1 = _mm_min_epi32(_mm_add_epi32(x0, one), _mm_set1_epi32(source.width - 1));
    const __m128i y1 = _mm_min_epi32(_mm_add_epi32(y0, one), _mm_set1_epi32(source.height - 1));
    const __m128i stride = _mm_set1_epi32(static_cast<int>(source.bytesPerRow / 4));
    const __m128i row0 = _mm_mullo_epi32(y0, stride);
    const __m128i row1 = _mm_mullo_epi32(y1, stride);
    const auto* base = reinterpret_cast<const int*>(source.bytes);
    t.p00 = _mm_i32gather_epi32(base, _mm_add_epi32(row0, x0), 4);
    t.p10 = _mm_i32gather_epi32(base, _mm_add_epi32(row0, x1), 4);
    t.p01 = _mm_i32gather_epi32(base, _mm_add_epi32(row1, x0), 4);
    t.p11 = _mm_i32gather_epi32(base, _mm_add_epi32(row1, x1), 4);
    return t;
}

__attribute__((target("avx2"))) inline __m256d channelOf(__m128i pixels, int c) {
    const __m128i bytes = _mm_and_si128(_mm_srli_epi32(pixels, 8 * c), _mm_set1_epi32(0xFF));
    return _mm256_cvtepi32_pd(bytes);
}

// The channel's bytes of four pixels, 0 in lanes outside; same arithmetic as bilinear().
__attribute__((target("avx2"))) inline __m128i bilinear4(const VectorTaps& t, int c) {
    const __m256d one = _mm256_set1_pd(1);
    const __m256d gx = _mm256_sub_pd(one, t.fx);
    const __m256d gy = _mm256_sub_pd(one, t.fy);
    const __m256d top =
        _mm256_add_pd(_mm256_mul_pd(gx, channelOf(t.p00, c)), _mm256_mul_pd(t.fx, channelOf(t.p10, c)));
    const __m256d bottom =
        _mm256_add_pd(_mm256_mul_pd(gx, channelOf(t.p01, c)), _mm256_mul_pd(t.fx, channelOf(t.p11, c)));
    const __m256d value = _mm256_add_pd(_mm256_mul_pd(gy, top), _mm256_mul_pd(t.fy, bottom));
    // Half away from zero for values >= 0, as roundedHalfAway; then at most 255.
    __m256d rounded = _mm256_round_pd(value, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d rest = _mm256_sub_pd(value, rounded);
    rounded =
        _mm256_add_pd(rounded, _mm256_and_pd(_mm256_cmp_pd(rest, _mm256_set1_pd(0.5), _CMP_GE_OQ), one));
    rounded = _mm256_min_pd(rounded, _mm256_set1_pd(255));
    return _mm256_cvttpd_epi32(_mm256_and_pd(rounded, t.valid));
}

__attribute__((target("avx2"))) void resampleRowAvx2(const GeometryPlan& plan, const GeometrySource& source,
                                                     std::uint8_t* out, int count, double minX, double y) {
    const __m256d centerX = _mm256_set1_pd(plan.centerX);
    const __m256d centerY = _mm256_set1_pd(plan.centerY);
    const __m256d inverseHalfDiagonal = _mm256_set1_pd(plan.inverseHalfDiagonal);
    const __m256d halfDiagonal = _mm256_set1_pd(plan.halfDiagonal);
    const __m256d perspectiveHorizontal = _mm256_set1_pd(plan.perspectiveHorizontal);
    const __m256d inverseAspect = _mm256_set1_pd(plan.inverseAspect);
    const __m256d aspect = _mm256_set1_pd(plan.aspect);
    const __m256d inverseZoom = _mm256_set1_pd(plan.inverseZoom);
    const __m256d distortion = _mm256_set1_pd(plan.distortion);
    const __m256d redScale = _mm256_set1_pd(plan.redScale);
    const __m256d blueScale = _mm256_set1_pd(plan.blueScale);
    const __m256d one = _mm256_set1_pd(1);
    const __m256d limit = _mm256_set1_pd(0.2);
    const double rowV = (y - plan.centerY) * plan.inverseHalfDiagonal;
    const __m256d v0 = _mm256_set1_pd(rowV);
    const __m256d verticalTerm = _mm256_set1_pd(plan.perspectiveVertical * rowV);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));

    int i = 0;
    for (; i + 4 <= count; i += 4, out += 16) {
        const __m256d X = _mm256_add_pd(_mm256_set1_pd(minX), _mm256_setr_pd(i, i + 1, i + 2, i + 3));
        __m256d u = _mm256_mul_pd(_mm256_sub_pd(X, centerX), inverseHalfDiagonal);
        const __m256d den =
            _mm256_sub_pd(_mm256_add_pd(one, _mm256_mul_pd(perspectiveHorizontal, u)), verticalTerm);
        const __m256d mapped = _mm256_cmp_pd(den, limit, _CMP_NLT_UQ); // not den < 0.2
        const __m256d k = _mm256_div_pd(one, den);
        u = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(u, k), inverseAspect), inverseZoom);
        __m256d v = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(v0, k), aspect), inverseZoom);
        const __m256d f = _mm256_add_pd(
            one, _mm256_mul_pd(distortion, _mm256_add_pd(_mm256_mul_pd(u, u), _mm256_mul_pd(v, v))));
        u = _mm256_mul_pd(u, f);
        v = _mm256_mul_pd(v, f);
        const __m256d hu = _mm256_mul_pd(halfDiagonal, u);
        const __m256d hv = _mm256_mul_pd(halfDiagonal, v);
        VectorTaps green = tapsAt4(source, _mm256_add_pd(hu, centerX), _mm256_add_pd(hv, centerY));
        green.valid = _mm256_and_pd(green.valid, mapped);
        __m128i r, g, b;
        g = bilinear4(green, 1);
        if (!plan.chromatic) {
            r = bilinear4(green, 0);
            b = bilinear4(green, 2);
        } else {
            VectorTaps red = tapsAt4(source, _mm256_add_pd(centerX, _mm256_mul_pd(hu, redScale)),
                                     _mm256_add_pd(centerY, _mm256_mul_pd(hv, redScale)));
            red.valid = _mm256_and_pd(red.valid, mapped);
            VectorTaps blue = tapsAt4(source, _mm256_add_pd(centerX, _mm256_mul_pd(hu, blueScale)),
                                      _mm256_add_pd(centerY, _mm256_mul_pd(hv, blueScale)));
            blue.valid = _mm256_and_pd(blue.valid, mapped);
            r = bilinear4(red, 0);
            b = bilinear4(blue, 2);
        }
        const __m128i pixels =
            _mm_or_si128(_mm_or_si128(r, _mm_slli_epi32(g, 8)), _mm_or_si128(_mm_slli_epi32(b, 16), alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pixels);
    }
    if (i < count) GeometryResampler::resampleRowOneByOne(plan, source, out, count - i, minX + i, y);
}

} // namespace

GeometryPlan::GeometryPlan(int sourceWidth, int sourceHeight, const GeometryValues& values)
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

bool GeometryResampler::hasVectorPath() {
    return hasAvx2();
}

void GeometryResampler::resampleRow(const GeometryPlan& plan, const GeometrySource& source, std::uint8_t* out,
                                    int count, double minX, double y) {
    // A 1 x 1 source has no half-diagonal; the one-pixel path handles it.
    if (hasVectorPath() && plan.halfDiagonal != 0)
        resampleRowAvx2(plan, source, out, count, minX, y);
    else
        resampleRowOneByOne(plan, source, out, count, minX, y);
}

void GeometryResampler::resampleRowOneByOne(const GeometryPlan& plan, const GeometrySource& source,
                                            std::uint8_t* out, int count, double minX, double y) {
    const double rowV = (y - plan.centerY) * plan.inverseHalfDiagonal;
    for (int i = 0; i < count; ++i, out += 4) {
        const double X = minX + i;
        double u = (X - plan.centerX) * plan.inverseHalfDiagonal;
        double v = rowV;
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
            Taps t;
            if (tapsAt(source, sx, sy, t)) {
                out[0] = bilinear(t, 0);
                out[1] = bilinear(t, 1);
                out[2] = bilinear(t, 2);
            } else {
                out[0] = out[1] = out[2] = 0;
            }
            continue;
        }
        out[0] = sampleChannel(source, plan.centerX + plan.halfDiagonal * u * plan.redScale,
                               plan.centerY + plan.halfDiagonal * v * plan.redScale, 0);
        out[1] = sampleChannel(source, sx, sy, 1);
        out[2] = sampleChannel(source, plan.centerX + plan.halfDiagonal * u * plan.blueScale,
                               plan.centerY + plan.halfDiagonal * v * plan.blueScale, 2);
    }
}

} // namespace sorvin
