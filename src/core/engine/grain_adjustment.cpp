#include "engine/grain_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"
#include "engine/recent_tables.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <tbb/parallel_for.h>

namespace sorvin {

namespace {

std::vector<std::int64_t> cellsAlong(int count, double longEdge, double cell) {
    std::vector<std::int64_t> cells(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        cells[static_cast<std::size_t>(i)] =
            static_cast<std::int64_t>(std::floor(i / longEdge * 1000 / cell));
    return cells;
}

double noiseOfHash(std::uint32_t hash, double amplitude, bool usesExponent, double exponent) {
    const double s = 2.0 * hash / 65535 - 1;
    if (s == 0) return 0;
    const double sign = s < 0 ? -1.0 : 1.0;
    if (usesExponent) return amplitude * sign * std::pow(std::abs(s), exponent);
    return amplitude * s;
}

} // namespace

std::optional<GrainPlan> GrainAdjustment::plan(const PhotoParameters& parameters, int width, int height) {
    return plan(parameters[PhotoParameter::grain_amount], parameters[PhotoParameter::grain_size],
                parameters[PhotoParameter::grain_roughness], width, height);
}

std::optional<GrainPlan> GrainAdjustment::plan(int amount, int size, int roughness, int width, int height) {
    if (amount == 0 || width < 1 || height < 1) return std::nullopt;
    const double longEdge = std::max(width, height);
    // The long edge holds 1000 / cell cells whatever the image size.
    const double cell = std::clamp(size, 0, 100) / 100.0 * 3 + 1;
    GrainPlan plan;
    plan.columnCells = cellsAlong(width, longEdge, cell);
    plan.rowCells = cellsAlong(height, longEdge, cell);
    plan.amplitude = std::clamp(amount, 1, 100) / 100.0 * 25.5;
    const double r = std::clamp(roughness, 0, 100);
    plan.exponent = r / (-100) * 0.6 + 1;
    plan.usesExponent = roughness != 0;
    if (plan.usesExponent) {
        // The table depends on the amount and the roughness alone, not on the size of the bitmap.
        static RecentTables<std::pair<double, double>, std::vector<double>, 2> recentTables;
        plan.roughNoise = recentTables.get({plan.amplitude, plan.exponent}, [&] {
            std::vector<double> noise(65536);
            // 65,536 powers: built on every core, 256 entries per task.
            tbb::parallel_for(0, 256, [&](int block) {
                for (std::uint32_t n = 256 * static_cast<std::uint32_t>(block), end = n + 256; n < end; ++n)
                    noise[n] = noiseOfHash(n, plan.amplitude, true, plan.exponent);
            });
            return noise;
        });
    }
    return plan;
}

std::uint32_t GrainAdjustment::cellHash(std::int64_t columnCell, std::int64_t rowCell) {
    // Wrapping 64-bit arithmetic on the two's-complement bits of the cell indices.
    const std::uint64_t h = static_cast<std::uint64_t>(columnCell) * 0x165667B1u +
                            static_cast<std::uint64_t>(rowCell) * 0x27D4EB2Fu + 0x14057B7EF767814Full;
    // "The low 32 bits of h >> 13" is read as the shift of the whole 64-bit h, then truncation:
    // the bits 13...44 of h, so the high half of h takes part in the mix.
    std::uint32_t w = static_cast<std::uint32_t>(h >> 13) ^ static_cast<std::uint32_t>(h);
    w *= 0x4BF19F61u;
    w ^= w >> 16;
    return w & 0xFFFFu;
}

double GrainAdjustment::noise(const GrainPlan& plan, std::int64_t columnCell, std::int64_t rowCell) {
    const std::uint32_t hash = cellHash(columnCell, rowCell);
    if (plan.usesExponent && plan.roughNoise.size() == 65536) return plan.roughNoise[hash];
    return noiseOfHash(hash, plan.amplitude, plan.usesExponent, plan.exponent);
}

namespace {

// The noise of the cells along a row, column by column. Neighbouring columns mostly share a cell,
// and with it the noise.
class RowNoise {
public:
    RowNoise(const GrainPlan& plan, int y)
        : plan_(plan), rowCell_(plan.rowCells[static_cast<std::size_t>(y)]) {}

    double at(int x) {
        const std::int64_t columnCell = plan_.columnCells[static_cast<std::size_t>(x)];
        if (x == 0 || columnCell != cell_) {
            cell_ = columnCell;
            value_ = GrainAdjustment::noise(plan_, cell_, rowCell_);
        }
        return value_;
    }

private:
    const GrainPlan& plan_;
    std::int64_t rowCell_;
    std::int64_t cell_ = 0;
    double value_ = 0;
};

__attribute__((target("avx2"))) inline __m128i grained4(__m128i pixels, __m256d noise, int channel) {
    const __m128i bytes = _mm_and_si128(_mm_srli_epi32(pixels, 8 * channel), _mm_set1_epi32(0xFF));
    return _mm_slli_epi32(roundedBytes4(_mm256_add_pd(noise, _mm256_cvtepi32_pd(bytes))), 8 * channel);
}

// Four pixels at a time, each channel with the arithmetic of the one-pixel path; returns the
// columns done.
__attribute__((target("avx2"))) int applyRowAvx2(std::uint8_t* rgba, int width, RowNoise& noise) {
    alignas(32) double noiseOf[4];
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        for (int i = 0; i < 4; ++i)
            noiseOf[i] = noise.at(x + i);
        const __m256d values = _mm256_load_pd(noiseOf);
        auto* px = reinterpret_cast<__m128i*>(rgba + 4 * static_cast<std::size_t>(x));
        const __m128i pixels = _mm_loadu_si128(px);
        const __m128i alpha = _mm_and_si128(pixels, _mm_set1_epi32(static_cast<int>(0xFF000000u)));
        _mm_storeu_si128(px,
                         _mm_or_si128(_mm_or_si128(grained4(pixels, values, 0), grained4(pixels, values, 1)),
                                      _mm_or_si128(grained4(pixels, values, 2), alpha)));
    }
    return x;
}

} // namespace

void GrainAdjustment::applyRow(std::uint8_t* rgba, int y, int width, const GrainPlan& plan) {
    RowNoise noise(plan, y);
    const int done = hasAvx2() ? applyRowAvx2(rgba, width, noise) : 0;
    std::uint8_t* px = rgba + 4 * static_cast<std::size_t>(done);
    for (int x = done; x < width; ++x, px += 4) {
        const double value = noise.at(x);
        px[0] = roundedByte(value + px[0]);
        px[1] = roundedByte(value + px[1]);
        px[2] = roundedByte(value + px[2]);
    }
}

} // namespace sorvin
