#pragma once

#include "platform/image.hpp"

#include <cstdint>

namespace sorvin::test {

// An opaque image of four flat quadrants with distinct colours: after an encode and decode each
// quadrant's centre still shows its colour, and a turned or mirrored result shows where it went.
inline SharedImage quadrants(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            p[0] = right ? 230 : 20;
            p[1] = bottom ? 210 : 30;
            p[2] = (right != bottom) ? 200 : 40;
            p[3] = 255;
        }
    return makeImage(std::move(buffer));
}

// An opaque image whose red byte is its column and green byte its row (blue 7): a picture that
// every resampling keeps, so that a pixel tells where it was taken from.
inline SharedImage coordinates(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 7;
            p[3] = 255;
        }
    return makeImage(std::move(buffer));
}

} // namespace sorvin::test
