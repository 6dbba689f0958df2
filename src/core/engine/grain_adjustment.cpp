#include "engine/grain_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"
#include "engine/recent_tables.hpp"
#include "model/photo_parameters.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

// The cells of `count` pixels along one axis, from the photo's pixel index of each.
template <typename PixelOf>
std::vector<std::int64_t> cellsAlong(int count, double longEdge, double cell, PixelOf pixelOf) {
    std::vector<std::int64_t> cells(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        cells[static_cast<std::size_t>(i)] =
            static_cast<std::int64_t>(std::floor(pixelOf(i) / longEdge * 1000 / cell));
    return cells;
}

// Lays the cells of a bitmap placed in a photo: each of its pixels has the cell of the photo's
// pixel under its centre, so a bitmap that is the whole photo, or a part of it cut at whole
// pixels, has exactly the photo's cells.
void layCells(GrainPlan& plan, int width, int height, double cell, const DevelopmentPlacement& placement) {
    const double longEdge = std::max(placement.photoWidth, placement.photoHeight);
    const PlaneTurn turn = PlaneTurn::of(placement.turn);
    const auto under = [&](double x, double y) { return placement.photoPoint({x + 0.5, y + 0.5}); };
    if (turn.isQuarter()) {
        // Each axis of the bitmap runs along one of the photo's: the other coordinate stays.
        plan.exchanged = turn.cosine == 0;
        plan.columnCells = cellsAlong(width, longEdge, cell, [&](int x) {
            const Point p = under(x, 0);
            return std::floor(plan.exchanged ? p.y : p.x);
        });
        plan.rowCells = cellsAlong(height, longEdge, cell, [&](int y) {
            const Point p = under(0, y);
            return std::floor(plan.exchanged ? p.x : p.y);
        });
        return;
    }
    const auto identity = [](int i) { return i; };
    plan.columnCells = cellsAlong(placement.photoWidth, longEdge, cell, identity);
    plan.rowCells = cellsAlong(placement.photoHeight, longEdge, cell, identity);
    const Point start = under(0, 0);
    const Point alongX = turn.inverse().applied({1, 0});
    const Point alongY = turn.inverse().applied({0, 1});
    plan.turned = GrainPlan::Turned{start.x, start.y, alongX.x, alongX.y, alongY.x, alongY.y};
}

double noiseOfHash(std::uint32_t hash, double amplitude, bool usesExponent, double exponent) {
    const double s = 2.0 * hash / 65535 - 1;
    if (s == 0) return 0;
    const double sign = s < 0 ? -1.0 : 1.0;
    if (usesExponent) return amplitude * sign * std::pow(std::abs(s), exponent);
    return amplitude * s;
}

} // namespace

std::optional<GrainPlan> GrainAdjustment::plan(const PhotoParameters& parameters, int width, int height,
                                               const std::optional<DevelopmentPlacement>& placement) {
    return plan(parameters[PhotoParameter::grain_amount], parameters[PhotoParameter::grain_size],
                parameters[PhotoParameter::grain_roughness], width, height, placement);
}

std::optional<GrainPlan> GrainAdjustment::plan(int amount, int size, int roughness, int width, int height,
                                               const std::optional<DevelopmentPlacement>& placement) {
    if (amount == 0 || width < 1 || height < 1) return std::nullopt;
    // The photo's long edge holds 1000 / cell cells whatever its size.
    const double cell = std::clamp(size, 0, 100) / 100.0 * 3 + 1;
    GrainPlan plan;
    if (placement && placement->photoWidth >= 1 && placement->photoHeight >= 1) {
        layCells(plan, width, height, cell, *placement);
    } else {
        const double longEdge = std::max(width, height);
        const auto identity = [](int i) { return i; };
        plan.columnCells = cellsAlong(width, longEdge, cell, identity);
        plan.rowCells = cellsAlong(height, longEdge, cell, identity);
    }
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
            parallelFor(0, 256, [&](int block) {
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
// and with it the noise. Exchanged: the columns count the photo's rows.
template <bool Exchanged>
class RowNoise {
public:
    RowNoise(const GrainPlan& plan, int y)
        : plan_(plan), rowCell_(plan.rowCells[static_cast<std::size_t>(y)]) {}

    double at(int x) {
        const std::int64_t columnCell = plan_.columnCells[static_cast<std::size_t>(x)];
        if (x == 0 || columnCell != cell_) {
            cell_ = columnCell;
            value_ = Exchanged ? GrainAdjustment::noise(plan_, rowCell_, cell_)
                               : GrainAdjustment::noise(plan_, cell_, rowCell_);
        }
        return value_;
    }

private:
    const GrainPlan& plan_;
    std::int64_t rowCell_;
    std::int64_t cell_ = 0;
    double value_ = 0;
};

// The same along a row of a bitmap turned against the photo: the photo's pixel under each pixel
// (the nearest at the photo's edge) gives both cells.
class TurnedRowNoise {
public:
    TurnedRowNoise(const GrainPlan& plan, int y)
        : plan_(plan), turned_(*plan.turned), x_(turned_.x + y * turned_.xPerRow),
          y_(turned_.y + y * turned_.yPerRow) {}

    double at(int x) {
        const std::int64_t columnCell = cellUnder(plan_.columnCells, x_ + x * turned_.xPerColumn);
        const std::int64_t rowCell = cellUnder(plan_.rowCells, y_ + x * turned_.yPerColumn);
        if (x == 0 || columnCell != columnCell_ || rowCell != rowCell_) {
            columnCell_ = columnCell;
            rowCell_ = rowCell;
            value_ = GrainAdjustment::noise(plan_, columnCell, rowCell);
        }
        return value_;
    }

private:
    static std::int64_t cellUnder(const std::vector<std::int64_t>& cells, double position) {
        const double last = static_cast<double>(cells.size() - 1);
        return cells[static_cast<std::size_t>(std::clamp(std::floor(position), 0.0, last))];
    }

    const GrainPlan& plan_;
    const GrainPlan::Turned& turned_;
    double x_;
    double y_;
    std::int64_t columnCell_ = 0;
    std::int64_t rowCell_ = 0;
    double value_ = 0;
};

__attribute__((target("avx2"))) inline __m128i grained4(__m128i pixels, __m256d noise, int channel) {
    const __m128i bytes = _mm_and_si128(_mm_srli_epi32(pixels, 8 * channel), _mm_set1_epi32(0xFF));
    return _mm_slli_epi32(roundedBytes4(_mm256_add_pd(noise, _mm256_cvtepi32_pd(bytes))), 8 * channel);
}

// Four pixels at a time, each channel with the arithmetic of the one-pixel path; returns the
// columns done.
template <typename Noise>
__attribute__((target("avx2"))) int applyRowAvx2(std::uint8_t* rgba, int width, Noise& noise) {
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

template <typename Noise>
void applyRowWith(std::uint8_t* rgba, int width, Noise noise) {
    const int done = hasAvx2() ? applyRowAvx2(rgba, width, noise) : 0;
    std::uint8_t* px = rgba + 4 * static_cast<std::size_t>(done);
    for (int x = done; x < width; ++x, px += 4) {
        const double value = noise.at(x);
        px[0] = roundedByte(value + px[0]);
        px[1] = roundedByte(value + px[1]);
        px[2] = roundedByte(value + px[2]);
    }
}

} // namespace

double GrainAdjustment::noiseAt(const GrainPlan& plan, int x, int y) {
    if (plan.turned) return TurnedRowNoise(plan, y).at(x);
    if (plan.exchanged) return RowNoise<true>(plan, y).at(x);
    return RowNoise<false>(plan, y).at(x);
}

void GrainAdjustment::applyRow(std::uint8_t* rgba, int y, int width, const GrainPlan& plan) {
    if (plan.turned)
        applyRowWith(rgba, width, TurnedRowNoise(plan, y));
    else if (plan.exchanged)
        applyRowWith(rgba, width, RowNoise<true>(plan, y));
    else
        applyRowWith(rgba, width, RowNoise<false>(plan, y));
}

} // namespace sorvin
