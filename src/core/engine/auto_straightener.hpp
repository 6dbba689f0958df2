#pragma once

#include "engine/straightening_analysis.hpp"
#include "platform/image.hpp"

#include <optional>
#include <vector>

namespace sorvin {

// Measures how far the near-vertical edges of a picture lean and proposes the rotation that makes
// them vertical, in half degrees. Edges within 20° of vertical vote, weighted by their strength;
// horizontal edges such as a horizon do not. A pure function of the picture.
struct AutoStraightener {
    static StraighteningAnalysis analyze(const Image& image);

    // Grey values 0 … 255 of the picture reduced to a long side of at most 1024, row 0 on top.
    struct GrayPixels {
        std::vector<float> values;
        int width = 0;
        int height = 0;
    };
    static std::optional<GrayPixels> grayscalePixels(const Image& image);
    // Mean over each bin and its neighbours (two bins at either end).
    static std::vector<double> movingAverage(const std::vector<double>& values);
};

} // namespace sorvin
