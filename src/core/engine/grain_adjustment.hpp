#pragma once

#include "model/development_placement.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

struct GrainPlan {
    // The grain cells lie on the whole photo, and each pixel of the bitmap has the grain of the
    // photo's pixel under its centre. Without a fine turn between the bitmap and the photo, each
    // column of the bitmap has one cell index along one of the photo's axes and each row one along
    // the other.
    std::vector<std::int64_t> columnCells; // cell index of each column
    std::vector<std::int64_t> rowCells;    // cell index of each row
    // The bitmap's columns run along the photo's rows (an odd number of quarter turns): the column
    // cells count the photo's rows, the row cells its columns.
    bool exchanged = false;
    // With a fine turn no column or row of the bitmap keeps one cell: the cell lists are then the
    // photo's own, by its columns and rows, and each pixel looks up the photo's pixel under its
    // centre, which lies at (x, y) for pixel (0, 0) and moves by these steps from one column and
    // one row of the bitmap to the next.
    struct Turned {
        double x = 0;
        double y = 0;
        double xPerColumn = 0;
        double yPerColumn = 0;
        double xPerRow = 0;
        double yPerRow = 0;
        bool operator==(const Turned&) const = default;
    };
    std::optional<Turned> turned;
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
    // None when grain_amount is 0 or a side is below 1. Without a placement the bitmap is the whole
    // photo.
    static std::optional<GrainPlan> plan(const PhotoParameters& parameters, int width, int height,
                                         const std::optional<DevelopmentPlacement>& placement = std::nullopt);
    static std::optional<GrainPlan> plan(int amount, int size, int roughness, int width, int height,
                                         const std::optional<DevelopmentPlacement>& placement = std::nullopt);

    // The generator's 16-bit value for a cell.
    static std::uint32_t cellHash(std::int64_t columnCell, std::int64_t rowCell);
    // The noise in byte levels for a cell.
    static double noise(const GrainPlan& plan, std::int64_t columnCell, std::int64_t rowCell);
    // The noise of the bitmap's pixel (x, y).
    static double noiseAt(const GrainPlan& plan, int x, int y);

    // Applies the grain to row y of an RGBA bitmap of the plan's width. Alpha is not touched.
    static void applyRow(std::uint8_t* rgba, int y, int width, const GrainPlan& plan);
};

} // namespace sorvin
