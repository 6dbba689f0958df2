#include "engine/detail_combination.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <immintrin.h>

namespace sorvin {

namespace {

// What one row of the combination reads: which steps run, the plane rows and the constants.
struct RowInputs {
    int width;
    bool colorNoise, luminanceDetail, textureOrClarity, clarity, luminanceNoise, sharpen, dehaze;
    bool hazeFromMinimum;
    const std::uint8_t *Y, *T, *C, *N, *S, *sAbove, *sBelow, *D, *bR, *bG, *bB;
    double texture15, clarity08, sharpenLimit, colorAmount;
    const DetailPlanes* planes;

    RowInputs(int y, const DetailAdjustmentPlan& plan, const DetailPlanes& p) : width(p.width), planes(&p) {
        colorNoise = plan.noiseColorAmount != 0 && !p.redNoiseBlur.empty();
        luminanceDetail = plan.usesLuminanceDetail() && !p.luminance.empty();
        textureOrClarity = (plan.texture != 0 || plan.clarity != 0) && !p.textureBlur.empty();
        clarity = plan.clarity != 0 && !p.clarityBlur.empty();
        luminanceNoise = plan.noiseLuminanceAmount != 0 && !p.luminanceNoiseBlur.empty();
        sharpen = plan.sharpenAmount != 0 && !p.sharpBlur.empty();
        dehaze = plan.dehaze != 0 && !p.dehazeBlur.empty();
        hazeFromMinimum = plan.dehaze > 0;
        Y = luminanceDetail ? p.luminance.row(y) : nullptr;
        T = textureOrClarity ? p.textureBlur.row(y) : nullptr;
        C = clarity ? p.clarityBlur.row(y) : nullptr;
        N = luminanceNoise ? p.luminanceNoiseBlur.row(y) : nullptr;
        S = sharpen ? p.sharpBlur.row(y) : nullptr;
        sAbove = sharpen ? p.sharpBlur.row(std::max(0, y - 1)) : nullptr;
        sBelow = sharpen ? p.sharpBlur.row(std::min(p.height - 1, y + 1)) : nullptr;
        D = dehaze ? p.dehazeBlur.row(y) : nullptr;
        bR = colorNoise ? p.redNoiseBlur.row(y) : nullptr;
        bG = colorNoise ? p.greenNoiseBlur.row(y) : nullptr;
        bB = colorNoise ? p.blueNoiseBlur.row(y) : nullptr;
        texture15 = plan.texture * 1.5;
        clarity08 = plan.clarity * 0.8;
        sharpenLimit = plan.sharpenDetail * 92 + 8;
        colorAmount = plan.noiseColorAmount;
    }
};

inline void combinePixel(const RowInputs& in, int x, std::uint8_t* px) {
    int r = px[0], g = px[1], b = px[2];
    if (in.colorNoise) {
        // Chroma moves towards the blurred chroma; the pixel's luminance stays.
        const int y0 = DetailAdjustment::luminanceByte(r, g, b);
        const int yb = DetailAdjustment::luminanceByte(in.bR[x], in.bG[x], in.bB[x]);
        const int nr = roundedByte(in.colorAmount * ((y0 + in.bR[x]) - r - yb) + r);
        const int ng = roundedByte(in.colorAmount * ((y0 + in.bG[x]) - g - yb) + g);
        const int nb = roundedByte(in.colorAmount * ((y0 + in.bB[x]) - b - yb) + b);
        r = nr;
        g = ng;
        b = nb;
    }
    if (in.luminanceDetail) {
        const int luma = in.Y[x];
        double tc = 0, nr = 0, sh = 0;
        if (in.textureOrClarity) {
            double inner = in.texture15 * (luma - in.T[x]);
            if (in.clarity) inner += in.clarity08 * (in.T[x] - in.C[x]);
            tc = in.planes->toneWeights[static_cast<std::size_t>(luma)] * inner;
        }
        if (in.luminanceNoise) nr = in.planes->luminanceNoise[static_cast<std::size_t>(luma - in.N[x] + 255)];
        if (in.sharpen) {
            const int left = in.S[x > 0 ? x - 1 : 0];
            const int right = in.S[x + 1 < in.width ? x + 1 : x];
            const int gradient = std::abs(right - left) + std::abs(in.sBelow[x] - in.sAbove[x]);
            const double difference = std::clamp<double>(luma - in.S[x], -in.sharpenLimit, in.sharpenLimit);
            sh = in.planes->sharpenWeights[static_cast<std::size_t>(gradient)] * difference;
        }
        // Added smallest first, so the sum does not depend on which stage came first. A sorting
        // network of min and max: no branches on the pixels' values.
        const double low = std::min(tc, nr);
        const double high = std::max(tc, nr);
        const double largest = std::max(high, sh);
        const double middle = std::min(high, sh);
        const double smallest = std::min(low, middle);
        const double second = std::max(low, middle);
        const double total = smallest + second + largest;
        r = roundedByte(total + r);
        g = roundedByte(total + g);
        b = roundedByte(total + b);
    }
    if (in.dehaze) {
        const int haze = in.hazeFromMinimum ? std::min({r, g, b, static_cast<int>(in.D[x])}) : in.D[x];
        const std::uint8_t* table = in.planes->dehazeTable.data() + static_cast<std::size_t>(haze) * 256;
        r = table[r];
        g = table[g];
        b = table[b];
    }
    px[0] = static_cast<std::uint8_t>(r);
    px[1] = static_cast<std::uint8_t>(g);
    px[2] = static_cast<std::uint8_t>(b);
}

// ---- four pixels at a time ----

__attribute__((target("avx2"))) inline __m128i load4(const std::uint8_t* bytes) {
    std::int32_t word;
    std::memcpy(&word, bytes, 4);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(word));
}

__attribute__((target("avx2"))) inline __m256d asDouble(__m128i values) {
    return _mm256_cvtepi32_pd(values);
}

// Four doubles of a table. The masked form, from a zeroed start, keeps the compiler from warning
// about the unmasked form's undefined start.
__attribute__((target("avx2"))) inline __m256d gather4(const double* table, __m128i index) {
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, index, all, 8);
}

// floor(n / 10000) for 0 <= n < 2^22: the quotient rounded to double never reaches the next
// integer, so floor gives the integer quotient.
__attribute__((target("avx2"))) inline __m256d lumaOf4(__m128i r, __m128i g, __m128i b) {
    const __m128i n = _mm_add_epi32(
        _mm_add_epi32(_mm_mullo_epi32(r, _mm_set1_epi32(2126)), _mm_mullo_epi32(g, _mm_set1_epi32(7152))),
        _mm_add_epi32(_mm_mullo_epi32(b, _mm_set1_epi32(722)), _mm_set1_epi32(5000)));
    return _mm256_floor_pd(_mm256_div_pd(asDouble(n), _mm256_set1_pd(10000)));
}

__attribute__((target("avx2"))) inline __m128i dehazed4(const std::uint8_t* table, __m128i haze,
                                                        __m128i channel) {
    const __m128i index = _mm_add_epi32(_mm_slli_epi32(haze, 8), channel);
    // Four bytes are read at each index; the table carries three bytes of padding for the last.
    const __m128i words = _mm_i32gather_epi32(reinterpret_cast<const int*>(table), index, 1);
    return _mm_and_si128(words, _mm_set1_epi32(0xFF));
}

// One channel moved towards its blurred chroma; same arithmetic as the one-pixel path.
__attribute__((target("avx2"))) inline __m128i colorNoise4(__m128i c, __m128i blurred, __m256d y0, __m256d yb,
                                                           __m256d amount) {
    const __m256d cd = asDouble(c);
    const __m256d difference = _mm256_sub_pd(_mm256_sub_pd(_mm256_add_pd(y0, asDouble(blurred)), cd), yb);
    return roundedBytes4(_mm256_add_pd(_mm256_mul_pd(amount, difference), cd));
}

__attribute__((target("avx2"))) void applyRowAvx2(const RowInputs& in, std::uint8_t* rgba) {
    const int width = in.width;
    // The first and last pixel clamp their sharpening neighbours; they go one by one.
    int x = 1;
    combinePixel(in, 0, rgba);
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m256d colorAmount = _mm256_set1_pd(in.colorAmount);
    const __m256d texture15 = _mm256_set1_pd(in.texture15);
    const __m256d clarity08 = _mm256_set1_pd(in.clarity08);
    const __m256d limit = _mm256_set1_pd(in.sharpenLimit);
    const __m256d negativeLimit = _mm256_set1_pd(-in.sharpenLimit);
    const __m128i noiseOffset = _mm_set1_epi32(255);
    for (; x + 4 <= width - 1; x += 4) {
        std::uint8_t* px = rgba + 4 * static_cast<std::size_t>(x);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
        __m128i r = _mm_and_si128(pixels, byteMask);
        __m128i g = _mm_and_si128(_mm_srli_epi32(pixels, 8), byteMask);
        __m128i b = _mm_and_si128(_mm_srli_epi32(pixels, 16), byteMask);
        if (in.colorNoise) {
            const __m128i br = load4(in.bR + x), bg = load4(in.bG + x), bb = load4(in.bB + x);
            const __m256d y0 = lumaOf4(r, g, b);
            const __m256d yb = lumaOf4(br, bg, bb);
            const __m128i nr = colorNoise4(r, br, y0, yb, colorAmount);
            const __m128i ng = colorNoise4(g, bg, y0, yb, colorAmount);
            const __m128i nb = colorNoise4(b, bb, y0, yb, colorAmount);
            r = nr;
            g = ng;
            b = nb;
        }
        if (in.luminanceDetail) {
            const __m128i luma = load4(in.Y + x);
            __m256d tc = _mm256_setzero_pd(), nr = _mm256_setzero_pd(), sh = _mm256_setzero_pd();
            if (in.textureOrClarity) {
                const __m128i t = load4(in.T + x);
                __m256d inner = _mm256_mul_pd(texture15, asDouble(_mm_sub_epi32(luma, t)));
                if (in.clarity)
                    inner = _mm256_add_pd(
                        inner, _mm256_mul_pd(clarity08, asDouble(_mm_sub_epi32(t, load4(in.C + x)))));
                tc = _mm256_mul_pd(gather4(in.planes->toneWeights.data(), luma), inner);
            }
            if (in.luminanceNoise) {
                const __m128i index = _mm_add_epi32(_mm_sub_epi32(luma, load4(in.N + x)), noiseOffset);
                nr = gather4(in.planes->luminanceNoise.data(), index);
            }
            if (in.sharpen) {
                const __m128i s = load4(in.S + x);
                const __m128i gradient =
                    _mm_add_epi32(_mm_abs_epi32(_mm_sub_epi32(load4(in.S + x + 1), load4(in.S + x - 1))),
                                  _mm_abs_epi32(_mm_sub_epi32(load4(in.sBelow + x), load4(in.sAbove + x))));
                const __m256d difference =
                    _mm256_min_pd(_mm256_max_pd(asDouble(_mm_sub_epi32(luma, s)), negativeLimit), limit);
                sh = _mm256_mul_pd(gather4(in.planes->sharpenWeights.data(), gradient), difference);
            }
            const __m256d low = _mm256_min_pd(tc, nr);
            const __m256d high = _mm256_max_pd(tc, nr);
            const __m256d largest = _mm256_max_pd(high, sh);
            const __m256d middle = _mm256_min_pd(high, sh);
            const __m256d smallest = _mm256_min_pd(low, middle);
            const __m256d second = _mm256_max_pd(low, middle);
            const __m256d total = _mm256_add_pd(_mm256_add_pd(smallest, second), largest);
            r = roundedBytes4(_mm256_add_pd(total, asDouble(r)));
            g = roundedBytes4(_mm256_add_pd(total, asDouble(g)));
            b = roundedBytes4(_mm256_add_pd(total, asDouble(b)));
        }
        if (in.dehaze) {
            const __m128i d = load4(in.D + x);
            const __m128i haze =
                in.hazeFromMinimum ? _mm_min_epi32(_mm_min_epi32(r, g), _mm_min_epi32(b, d)) : d;
            const std::uint8_t* table = in.planes->dehazeTable.data();
            r = dehazed4(table, haze, r);
            g = dehazed4(table, haze, g);
            b = dehazed4(table, haze, b);
        }
        const __m128i alpha = _mm_andnot_si128(_mm_set1_epi32(0x00FFFFFF), pixels);
        const __m128i out =
            _mm_or_si128(_mm_or_si128(r, _mm_slli_epi32(g, 8)), _mm_or_si128(_mm_slli_epi32(b, 16), alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(px), out);
    }
    for (; x < width; ++x)
        combinePixel(in, x, rgba + 4 * static_cast<std::size_t>(x));
}

} // namespace

bool DetailCombination::hasVectorPath() {
    return hasAvx2();
}

void DetailCombination::applyRow(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                                 const DetailPlanes& planes) {
    const RowInputs in(y, plan, planes);
    if (hasVectorPath() && in.width > 1 && (!in.dehaze || planes.dehazeTable.size() >= 65536 + 3)) {
        applyRowAvx2(in, rgba);
        return;
    }
    for (int x = 0; x < in.width; ++x)
        combinePixel(in, x, rgba + 4 * static_cast<std::size_t>(x));
}

void DetailCombination::applyRowOneByOne(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                                         const DetailPlanes& planes) {
    const RowInputs in(y, plan, planes);
    for (int x = 0; x < in.width; ++x)
        combinePixel(in, x, rgba + 4 * static_cast<std::size_t>(x));
}

} // namespace sorvin
