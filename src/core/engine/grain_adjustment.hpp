#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

struct GrainPlan {
    std::vector<std::int64_t> columnCells; // grain cell index of each column
    std::vector<std::int64_t> rowCells;    // grain cell index of each row
    double exponent = 1;
    double amplitude = 0; // byte levels
    bool usesExponent = false;
    // With roughness, the noise of every generator value, so that a render needs no power per cell.
    std::vector<double> roughNoise;

    static GrainPlan zero() { return {}; }
    bool operator==(const GrainPlan&) const = default;
};

// Film grain: one deterministic noise value per grain cell, added alike to R, G and B. There is no
// seed and no state, so every render of a photo at one size gets the same grain.
struct GrainAdjustment {
    // None when grain_amount is 0 or a side is below 1.
    static std::optional<GrainPlan> plan(const PhotoParameters& parameters, int width, int height);
    static std::optional<GrainPlan> plan(int amount, int size, int roughness, int width, int height);

    // The generator's 16-bit value for a cell.
    static std::uint32_t cellHash(std::int64_t columnCell, std::int64_t rowCell);
    // The noise in byte levels for a cell.
    static double noise(const GrainPlan& plan, std::int64_t columnCell, std::int64_t rowCell);

    // Applies the grain to row y of an RGBA bitmap of the plan's width. Alpha is not touched.
    static void applyRow(std::uint8_t* rgba, int y, int width, const GrainPlan& plan);
};

} // namespace sorvin
