#pragma once

#include "platform/image.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace sorvin::test {

// The summed change of green from each pixel to its left neighbour: how busy the picture is.
inline double roughness(const Image& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 1; x < image.width(); ++x)
            sum += std::abs(image.row(y)[4 * x + 1] - image.row(y)[4 * x - 3]);
    }
    return sum;
}

// Peak signal-to-noise ratio of one picture against another of the same size, over the colour
// channels, in dB (1000 for equal pictures).
inline double psnr(const Image& a, const Image& b) {
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                const double d = a.row(y)[4 * x + c] - b.row(y)[4 * x + c];
                squares += d * d;
            }
        }
    }
    const double mean = squares / (3.0 * a.width() * a.height());
    return mean == 0 ? 1000 : 10 * std::log10(255.0 * 255.0 / mean);
}

// How far the mean log-chromaticity (ln R/G, ln B/G) of one picture lies from another's: a cast.
inline double logChromaShift(const Image& a, const Image& b) {
    const auto mean = [](const Image& image) {
        std::array<double, 2> sum{};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const std::uint8_t* p = image.row(y) + 4 * x;
                sum[0] += std::log((p[0] + 1.0) / (p[1] + 1.0));
                sum[1] += std::log((p[2] + 1.0) / (p[1] + 1.0));
            }
        }
        const double count = static_cast<double>(image.width()) * image.height();
        return std::array<double, 2>{sum[0] / count, sum[1] / count};
    };
    const auto ma = mean(a), mb = mean(b);
    return std::hypot(ma[0] - mb[0], ma[1] - mb[1]);
}

} // namespace sorvin::test
