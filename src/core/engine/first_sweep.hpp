#pragma once

#include "engine/black_and_white_adjustment.hpp"
#include "engine/color_adjustment.hpp"
#include "engine/color_grading_adjustment.hpp"
#include "engine/parameter_lookup_tables.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin {

// The per-pixel colour work of a development pass, in order: tone tables, saturation and vibrance,
// colour mixer, black and white, colour grading. Built once per pass; read-only while the bands run.
struct FirstSweep {
    const ByteTable* red = nullptr;
    const ByteTable* green = nullptr;
    const ByteTable* blue = nullptr;
    bool hasTables = false;
    int saturation = 0; // -100...100
    int vibrance = 0;   // -100...100
    std::optional<ColorAdjustmentPlan> color;
    std::optional<BlackAndWhiteAdjustmentPlan> blackAndWhite;
    std::optional<ColorGradingPlan> grading;
    // ColorGradingAdjustment::byteTable of the plan, for the vector path; empty to compute instead.
    std::vector<std::uint8_t> gradingBytes;

    bool runs() const {
        return hasTables || saturation != 0 || vibrance != 0 || color || blackAndWhite || grading;
    }
    bool tablesOnly() const {
        return saturation == 0 && vibrance == 0 && !color && !blackAndWhite && !grading;
    }

    // Reads a row of the input and writes it, developed, to out; alpha is copied as it is.
    void row(const std::uint8_t* in, std::uint8_t* out, int width) const;

    // The colour stages after the tables for one pixel: the reference for every faster path.
    RgbBytes colorStages(RgbBytes pixel) const;

    // Eight pixels at a time on processors with AVX2, byte for byte the same as colorStages.
    static bool hasVectorPath();
    void rowVector(const std::uint8_t* in, std::uint8_t* out, int width) const;
};

} // namespace sorvin
