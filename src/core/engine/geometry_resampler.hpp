#pragma once

#include "engine/geometry_adjustment.hpp"

#include <cstddef>
#include <cstdint>

namespace sorvin {

// Every geometry value folded into multipliers and reciprocals, for a source of one size.
struct GeometryPlan {
    int width = 0;
    int height = 0;
    double centerX = 0;
    double centerY = 0;
    double halfDiagonal = 0;
    double inverseHalfDiagonal = 0;
    double perspectiveVertical = 0;
    double perspectiveHorizontal = 0;
    double aspect = 1;
    double inverseAspect = 1;
    double zoom = 1;
    double inverseZoom = 1;
    double distortion = 0;
    double redScale = 1;
    double blueScale = 1;
    bool chromatic = false;

    GeometryPlan(int sourceWidth, int sourceHeight, const GeometryValues& values);
};

// The source bitmap as the resampler reads it (RGBA, rows of bytesPerRow bytes).
struct GeometrySource {
    const std::uint8_t* bytes = nullptr;
    std::size_t bytesPerRow = 0;
    int width = 0;
    int height = 0;
};

// One output row: `count` RGBA pixels whose source coordinates are (minX + i, y).
struct GeometryResampler {
    // Four pixels at a time where the processor has AVX2, with the same double arithmetic in the
    // same order as the one-pixel path, so both give the same bytes.
    static void resampleRow(const GeometryPlan& plan, const GeometrySource& source, std::uint8_t* out,
                            int count, double minX, double y);
    static void resampleRowOneByOne(const GeometryPlan& plan, const GeometrySource& source, std::uint8_t* out,
                                    int count, double minX, double y);
    static bool hasVectorPath();
};

} // namespace sorvin
