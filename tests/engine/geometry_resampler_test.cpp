#include "engine/geometry_resampler.hpp"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sorvin {
namespace {

TEST(GeometryResampler, FourAtATimeGivesTheBytesOfOneByOne) {
    if (!GeometryResampler::hasVectorPath()) GTEST_SKIP() << "no vector path on this processor";
    std::mt19937 random(11);
    const auto value = [&](int low) {
        return static_cast<int>(random() % static_cast<unsigned>(101 - low)) + low;
    };
    for (int round = 0; round < 60; ++round) {
        const int width = 1 + static_cast<int>(random() % 90);
        const int height = 1 + static_cast<int>(random() % 70);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width * height * 4));
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        // Every other round leaves some values at 0, as most photos do.
        GeometryValues values{value(-100), value(-100), value(-100), value(-100),
                              value(-100), value(-100), value(0)};
        if (round % 2) values.chromaticRed = values.chromaticBlue = 0;
        if (round % 3 == 0) values.distortion = values.perspectiveVertical = 0;
        const GeometryPlan plan(width, height, values);
        const GeometrySource source{bytes.data(), static_cast<std::size_t>(width) * 4, width, height};
        const int count = width + 5; // runs past the right edge into black
        std::vector<std::uint8_t> vector(static_cast<std::size_t>(count) * 4), single(vector.size());
        for (int y = -2; y < height + 2; ++y) {
            GeometryResampler::resampleRow(plan, source, vector.data(), count, -2.0, y);
            GeometryResampler::resampleRowOneByOne(plan, source, single.data(), count, -2.0, y);
            ASSERT_EQ(vector, single) << "round " << round << " row " << y;
        }
    }
}

} // namespace
} // namespace sorvin
