// The colour stages of the first sweep eight pixels at a time. Every operation is the single or
// double precision operation of the one-pixel functions, in the same order and without fused
// multiply-adds, so the bytes are the same; branches become selects. 2^x is taken lane by lane from
// the same library function.
#include "engine/first_sweep.hpp"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

#define SORVIN_AVX2 __attribute__((target("avx2")))

namespace sorvin {

namespace {

using F = __m256;
using I = __m256i;

SORVIN_AVX2 inline F splat(float v) {
    return _mm256_set1_ps(v);
}
SORVIN_AVX2 inline F add(F a, F b) {
    return _mm256_add_ps(a, b);
}
SORVIN_AVX2 inline F sub(F a, F b) {
    return _mm256_sub_ps(a, b);
}
SORVIN_AVX2 inline F mul(F a, F b) {
    return _mm256_mul_ps(a, b);
}
SORVIN_AVX2 inline F div(F a, F b) {
    return _mm256_div_ps(a, b);
}
SORVIN_AVX2 inline F select(F mask, F whenTrue, F whenFalse) {
    return _mm256_blendv_ps(whenFalse, whenTrue, mask);
}
SORVIN_AVX2 inline F maxOf(F a, F b) {
    return _mm256_max_ps(a, b);
}
SORVIN_AVX2 inline F minOf(F a, F b) {
    return _mm256_min_ps(a, b);
}
SORVIN_AVX2 inline F clampTo(F v, float low, float high) {
    return minOf(maxOf(v, splat(low)), splat(high));
}
SORVIN_AVX2 inline F less(F a, F b) {
    return _mm256_cmp_ps(a, b, _CMP_LT_OQ);
}
SORVIN_AVX2 inline F atLeast(F a, F b) {
    return _mm256_cmp_ps(a, b, _CMP_GE_OQ);
}
SORVIN_AVX2 inline F equal(F a, F b) {
    return _mm256_cmp_ps(a, b, _CMP_EQ_OQ);
}
SORVIN_AVX2 inline F greater(F a, F b) {
    return _mm256_cmp_ps(a, b, _CMP_GT_OQ);
}
SORVIN_AVX2 inline F notEqual(F a, F b) {
    return _mm256_cmp_ps(a, b, _CMP_NEQ_UQ);
}

SORVIN_AVX2 inline F floatsOf(const std::int32_t* bytes) {
    return _mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const I*>(bytes)));
}

// roundedByte for eight lanes: clamp, truncate, and add one where the fraction is at least a half.
SORVIN_AVX2 inline F roundedBytes(F v) {
    const F clamped = clampTo(v, 0.0f, 255.0f);
    const F whole = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(clamped));
    return add(whole, _mm256_and_ps(atLeast(sub(clamped, whole), splat(0.5f)), splat(1.0f)));
}

SORVIN_AVX2 inline __m256d roundedBytes(__m256d v) {
    const __m256d clamped = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    const __m256d whole = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(clamped));
    const __m256d up = _mm256_cmp_pd(_mm256_sub_pd(clamped, whole), _mm256_set1_pd(0.5), _CMP_GE_OQ);
    return _mm256_add_pd(whole, _mm256_and_pd(up, _mm256_set1_pd(1.0)));
}

SORVIN_AVX2 inline F luminanceOf(F r, F g, F b) {
    return add(add(mul(splat(0.2126f), r), mul(splat(0.7152f), g)), mul(splat(0.0722f), b));
}

// HueSectors::hue for lanes whose delta is above 0 (other lanes give values that are not used).
// The three formulas share one division: the numerator is chosen first.
SORVIN_AVX2 inline F hueOf(F r, F g, F b, F max, F delta) {
    const F isRed = equal(max, r);
    const F isGreen = equal(max, g);
    const F numerator = select(isRed, mul(splat(60.0f), sub(g, b)), select(isGreen, sub(b, r), sub(r, g)));
    const F quotient = div(numerator, delta);
    const F fromRed = select(less(quotient, splat(0.0f)), add(quotient, splat(360.0f)), quotient);
    const F other = mul(splat(60.0f), add(quotient, select(isGreen, splat(2.0f), splat(4.0f))));
    const F h = select(isRed, fromRed, other);
    // Only 360 itself can come out at or above 360 here.
    return select(atLeast(h, splat(360.0f)), sub(h, splat(360.0f)), h);
}

// HueSectors::wrapDegrees for values in (-360, 720).
SORVIN_AVX2 inline F wrapOf(F x) {
    x = select(atLeast(x, splat(360.0f)), sub(x, splat(360.0f)), x);
    return select(less(x, splat(0.0f)), add(x, splat(360.0f)), x);
}

// HueSectors::locate: the sector is the number of anchors at or below the hue.
struct Sector {
    I lowerColor;
    I upperColor;
    F t;
};

SORVIN_AVX2 inline Sector locate(F hue) {
    I index = _mm256_setzero_si256();
    for (float anchor : {30.0f, 60.0f, 120.0f, 180.0f, 240.0f, 270.0f, 300.0f}) {
        index = _mm256_sub_epi32(index, _mm256_castps_si256(atLeast(hue, splat(anchor))));
    }
    const F lowerAnchors = _mm256_setr_ps(0, 30, 60, 120, 180, 240, 270, 300);
    const F upperAnchors = _mm256_setr_ps(30, 60, 120, 180, 240, 270, 300, 360);
    const F lower = _mm256_permutevar8x32_ps(lowerAnchors, index);
    const F upper = _mm256_permutevar8x32_ps(upperAnchors, index);
    const I next = _mm256_and_si256(_mm256_add_epi32(index, _mm256_set1_epi32(1)), _mm256_set1_epi32(7));
    return {index, next, div(sub(hue, lower), sub(upper, lower))};
}

SORVIN_AVX2 inline F interpolate(const HueSectors::PerColor& values, const Sector& sector) {
    const F table = _mm256_loadu_ps(values.data());
    const F low = _mm256_permutevar8x32_ps(table, sector.lowerColor);
    const F high = _mm256_permutevar8x32_ps(table, sector.upperColor);
    return add(mul(sub(splat(1.0f), sector.t), low), mul(sector.t, high));
}

// value * 2^(0.006 * shift) clamped to 0...1 where the shift is not 0; 2^x lane by lane.
SORVIN_AVX2 inline F scaledByShift(F value, F shift) {
    const F active = notEqual(shift, splat(0.0f));
    const int lanes = _mm256_movemask_ps(active);
    if (lanes == 0) return value;
    alignas(32) float exponents[8];
    alignas(32) float factors[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    _mm256_store_ps(exponents, mul(splat(0.006f), shift));
    for (int i = 0; i < 8; ++i) {
        if (lanes & (1 << i)) factors[i] = std::exp2(exponents[i]);
    }
    return select(active, clampTo(mul(value, _mm256_load_ps(factors)), 0.0f, 1.0f), value);
}

struct Lanes {
    F r, g, b; // byte values as floats
};

SORVIN_AVX2 inline Lanes saturationStage(Lanes p, int saturation, int vibrance) {
    if (saturation != 0) {
        const float s = static_cast<float>(saturation);
        const F factor = splat(saturation < 0 ? s / 100.0f + 1.0f : s * 0.009f + 1.0f);
        const F luminance = luminanceOf(p.r, p.g, p.b);
        p.r = clampTo(add(luminance, mul(sub(p.r, luminance), factor)), 0.0f, 255.0f);
        p.g = clampTo(add(luminance, mul(sub(p.g, luminance), factor)), 0.0f, 255.0f);
        p.b = clampTo(add(luminance, mul(sub(p.b, luminance), factor)), 0.0f, 255.0f);
    }
    if (vibrance != 0) {
        const F max = div(maxOf(maxOf(p.r, p.g), p.b), splat(255.0f));
        const F min = div(minOf(minOf(p.r, p.g), p.b), splat(255.0f));
        const F pixelSaturation = select(greater(max, splat(0.0f)), div(sub(max, min), max), splat(0.0f));
        const F factor =
            add(mul(splat(static_cast<float>(vibrance) * 0.009f), sub(splat(1.0f), pixelSaturation)),
                splat(1.0f));
        const F luminance = luminanceOf(p.r, p.g, p.b);
        p.r = add(luminance, mul(sub(p.r, luminance), factor));
        p.g = add(luminance, mul(sub(p.g, luminance), factor));
        p.b = add(luminance, mul(sub(p.b, luminance), factor));
    }
    return {roundedBytes(p.r), roundedBytes(p.g), roundedBytes(p.b)};
}

SORVIN_AVX2 inline F laneIs(I values, int k) {
    return _mm256_castsi256_ps(_mm256_cmpeq_epi32(values, _mm256_set1_epi32(k)));
}

SORVIN_AVX2 inline Lanes mixerStage(Lanes p, const ColorAdjustmentPlan& plan) {
    const F r = div(p.r, splat(255.0f));
    const F g = div(p.g, splat(255.0f));
    const F b = div(p.b, splat(255.0f));
    const F max = maxOf(maxOf(r, g), b);
    const F delta = sub(max, minOf(minOf(r, g), b));
    const F colored = greater(delta, splat(0.0f));
    if (_mm256_movemask_ps(colored) == 0) return p;

    const F h = hueOf(r, g, b, max, delta);
    const Sector sector = locate(h);
    const F hueShift = interpolate(plan.hue, sector);
    const F saturationShift = interpolate(plan.saturation, sector);
    const F luminanceShift = interpolate(plan.luminance, sector);

    const F newHue = wrapOf(add(h, mul(splat(0.15f), hueShift)));
    const F s = scaledByShift(div(delta, max), saturationShift);
    const F v = scaledByShift(max, luminanceShift);

    const F position = div(newHue, splat(60.0f));
    const F whole = _mm256_floor_ps(position);
    const F f = sub(position, whole);
    const F one = splat(1.0f);
    const F pLane = mul(v, sub(one, s));
    const F qLane = mul(v, sub(one, mul(s, f)));
    const F tLane = mul(v, sub(one, mul(s, sub(one, f))));
    I i = _mm256_cvttps_epi32(whole);
    i = _mm256_andnot_si256(_mm256_cmpeq_epi32(i, _mm256_set1_epi32(6)), i); // 6 is 0 modulo 6
    const F i0 = laneIs(i, 0), i1 = laneIs(i, 1), i2 = laneIs(i, 2), i3 = laneIs(i, 3), i4 = laneIs(i, 4);
    // (v,t,p) (q,v,p) (p,v,t) (p,q,v) (t,p,v) (v,p,q) for sextants 0...5.
    const F outR =
        select(i0, v, select(i1, qLane, select(i2, pLane, select(i3, pLane, select(i4, tLane, v)))));
    const F outG = select(i0, tLane, select(i1, v, select(i2, v, select(i3, qLane, pLane))));
    const F outB =
        select(i0, pLane, select(i1, pLane, select(i2, tLane, select(i3, v, select(i4, v, qLane)))));
    const F scale = splat(255.0f);
    return {select(colored, roundedBytes(mul(outR, scale)), p.r),
            select(colored, roundedBytes(mul(outG, scale)), p.g),
            select(colored, roundedBytes(mul(outB, scale)), p.b)};
}

SORVIN_AVX2 inline Lanes blackAndWhiteStage(Lanes p, const BlackAndWhiteAdjustmentPlan& plan) {
    const F luminance = luminanceOf(p.r, p.g, p.b);
    const F max = maxOf(maxOf(p.r, p.g), p.b);
    const F difference = sub(max, minOf(minOf(p.r, p.g), p.b));
    F weight = splat(plan.uniformWeight);
    if (!plan.isUniform) {
        const F r = div(p.r, splat(255.0f));
        const F g = div(p.g, splat(255.0f));
        const F b = div(p.b, splat(255.0f));
        const F unitMax = maxOf(maxOf(r, g), b);
        const F unitDelta = sub(unitMax, minOf(minOf(r, g), b));
        weight = interpolate(plan.weights, locate(hueOf(r, g, b, unitMax, unitDelta)));
    }
    const F one = splat(1.0f);
    const F weighted =
        clampTo(mul(luminance, add(mul(div(difference, max), sub(weight, one)), one)), 0.0f, 255.0f);
    const F grey = select(notEqual(difference, splat(0.0f)), weighted, luminance);
    if (plan.amount == 1.0f) {
        const F value = roundedBytes(grey);
        return {value, value, value};
    }
    const F amount = splat(plan.amount);
    return {roundedBytes(add(mul(amount, sub(grey, p.r)), p.r)),
            roundedBytes(add(mul(amount, sub(grey, p.g)), p.g)),
            roundedBytes(add(mul(amount, sub(grey, p.b)), p.b))};
}

// Colour grading in double precision, four lanes at a time.
SORVIN_AVX2 inline __m256d gradedHalf(__m256d r, __m256d g, __m256d b, const double* offsets,
                                      __m256d channel) {
    const __m256d luminance = _mm256_add_pd(
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(0.2126), r), _mm256_mul_pd(_mm256_set1_pd(0.7152), g)),
        _mm256_mul_pd(_mm256_set1_pd(0.0722), b));
    const __m128i index = _mm256_cvttpd_epi32(roundedBytes(luminance));
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    const __m256d offset = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), offsets, index, all, 8);
    return roundedBytes(_mm256_add_pd(_mm256_mul_pd(offset, _mm256_set1_pd(255.0)), channel));
}

SORVIN_AVX2 inline __m256d widened(__m128 v) {
    return _mm256_cvtps_pd(v);
}

SORVIN_AVX2 inline Lanes gradedLanes(__m128 rf, __m128 gf, __m128 bf, const ColorGradingPlan& plan) {
    const __m256d r = widened(rf), g = widened(gf), b = widened(bf);
    return {_mm256_castps128_ps256(_mm256_cvtpd_ps(gradedHalf(r, g, b, plan.red.data(), r))),
            _mm256_castps128_ps256(_mm256_cvtpd_ps(gradedHalf(r, g, b, plan.green.data(), g))),
            _mm256_castps128_ps256(_mm256_cvtpd_ps(gradedHalf(r, g, b, plan.blue.data(), b)))};
}

SORVIN_AVX2 inline F joined(F low, F high) {
    return _mm256_insertf128_ps(low, _mm256_castps256_ps128(high), 1);
}

// ColorGradingAdjustment::luminanceIndex of eight pixels.
SORVIN_AVX2 inline __m128i luminanceIndexHalf(__m128 rf, __m128 gf, __m128 bf) {
    const __m256d luminance = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(0.2126), widened(rf)),
                                                          _mm256_mul_pd(_mm256_set1_pd(0.7152), widened(gf))),
                                            _mm256_mul_pd(_mm256_set1_pd(0.0722), widened(bf)));
    return _mm256_cvttpd_epi32(roundedBytes(luminance));
}

SORVIN_AVX2 inline I luminanceIndexes(const Lanes& p) {
    const __m128i low = luminanceIndexHalf(_mm256_castps256_ps128(p.r), _mm256_castps256_ps128(p.g),
                                           _mm256_castps256_ps128(p.b));
    const __m128i high = luminanceIndexHalf(_mm256_extractf128_ps(p.r, 1), _mm256_extractf128_ps(p.g, 1),
                                            _mm256_extractf128_ps(p.b, 1));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

SORVIN_AVX2 inline Lanes gradingStage(Lanes p, const ColorGradingPlan& plan) {
    const Lanes low = gradedLanes(_mm256_castps256_ps128(p.r), _mm256_castps256_ps128(p.g),
                                  _mm256_castps256_ps128(p.b), plan);
    const Lanes high = gradedLanes(_mm256_extractf128_ps(p.r, 1), _mm256_extractf128_ps(p.g, 1),
                                   _mm256_extractf128_ps(p.b, 1), plan);
    return {joined(low.r, high.r), joined(low.g, high.g), joined(low.b, high.b)};
}

} // namespace

SORVIN_AVX2 void FirstSweep::rowVector(const std::uint8_t* in, std::uint8_t* out, int width) const {
    const ByteTable& tr = *red;
    const ByteTable& tg = *green;
    const ByteTable& tb = *blue;
    const bool saturates = saturation != 0 || vibrance != 0;
    const bool toGrey = blackAndWhite && blackAndWhite->amount != 0;
    const bool gradesByTable = grading && !gradingBytes.empty();
    // Blocks of eight groups of eight pixels, taken stage by stage: the groups of a block are
    // independent, so the processor overlaps their long chains of divisions and selects.
    constexpr int kGroups = 8;
    constexpr int kBlock = 8 * kGroups;
    alignas(32) std::int32_t r[kBlock], g[kBlock], b[kBlock], index[kBlock];
    Lanes p[kGroups];
    int x = 0;
    while (x < width) {
        const int count = std::min(kBlock, width - x);
        const int groups = count / 8;
        if (groups == 0) break;
        const int pixels = groups * 8;
        for (int i = 0; i < pixels; ++i) {
            r[i] = tr[in[4 * i]];
            g[i] = tg[in[4 * i + 1]];
            b[i] = tb[in[4 * i + 2]];
        }
        for (int k = 0; k < groups; ++k)
            p[k] = {floatsOf(r + 8 * k), floatsOf(g + 8 * k), floatsOf(b + 8 * k)};
        if (saturates) {
            for (int k = 0; k < groups; ++k)
                p[k] = saturationStage(p[k], saturation, vibrance);
        }
        if (color) {
            for (int k = 0; k < groups; ++k)
                p[k] = mixerStage(p[k], *color);
        }
        if (toGrey) {
            for (int k = 0; k < groups; ++k)
                p[k] = blackAndWhiteStage(p[k], *blackAndWhite);
        }
        if (grading && !gradesByTable) {
            for (int k = 0; k < groups; ++k)
                p[k] = gradingStage(p[k], *grading);
        }
        for (int k = 0; k < groups; ++k) {
            _mm256_store_si256(reinterpret_cast<I*>(r + 8 * k), _mm256_cvttps_epi32(p[k].r));
            _mm256_store_si256(reinterpret_cast<I*>(g + 8 * k), _mm256_cvttps_epi32(p[k].g));
            _mm256_store_si256(reinterpret_cast<I*>(b + 8 * k), _mm256_cvttps_epi32(p[k].b));
            if (gradesByTable)
                _mm256_store_si256(reinterpret_cast<I*>(index + 8 * k), luminanceIndexes(p[k]));
        }
        if (gradesByTable) {
            const std::uint8_t* table = gradingBytes.data();
            for (int i = 0; i < pixels; ++i) {
                const std::size_t row = static_cast<std::size_t>(index[i]) << 8;
                r[i] = table[row + static_cast<std::size_t>(r[i])];
                g[i] = table[(std::size_t{256} << 8) + row + static_cast<std::size_t>(g[i])];
                b[i] = table[(std::size_t{512} << 8) + row + static_cast<std::size_t>(b[i])];
            }
        }
        for (int i = 0; i < pixels; ++i) {
            out[4 * i] = static_cast<std::uint8_t>(r[i]);
            out[4 * i + 1] = static_cast<std::uint8_t>(g[i]);
            out[4 * i + 2] = static_cast<std::uint8_t>(b[i]);
            out[4 * i + 3] = in[4 * i + 3];
        }
        x += pixels;
        in += 4 * pixels;
        out += 4 * pixels;
    }
    for (; x < width; ++x, in += 4, out += 4) {
        const RgbBytes q = colorStages({tr[in[0]], tg[in[1]], tb[in[2]]});
        out[0] = q.red;
        out[1] = q.green;
        out[2] = q.blue;
        out[3] = in[3];
    }
}

} // namespace sorvin
