#pragma once

#include "platform/image.hpp"

#include <cstddef>
#include <vector>

namespace sorvin {

// Resizing by area averaging: every target pixel is the mean of the source area it covers, each
// source pixel weighted by the part of it inside. Sharp and alias-free for reductions; also
// correct (if soft) for slight enlargements.
struct AreaResampler {
    // The contributions of one axis: target pixel i takes count[i] source pixels from first[i],
    // with the weights weights[offset[i]] …, which sum to 1.
    struct AxisWeights {
        std::vector<int> first;
        std::vector<int> count;
        std::vector<std::size_t> offset;
        std::vector<float> weights;
    };
    static AxisWeights axisWeights(int sourceLength, int targetLength);

    // The image at width × height (each ≥ 1). Every channel, alpha included, is averaged as
    // stored, which is right for premultiplied pixels; bytes round half up. The same image is
    // handed back when the size is unchanged.
    static SharedImage resize(const SharedImage& image, int width, int height);
};

} // namespace sorvin
