#include "engine/detail_box_blur.hpp"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sorvin {
namespace {

// The mean of the samples of [i - r, i + r] that exist, rounded half up.
std::vector<std::uint8_t> referenceBox(const std::vector<std::uint8_t>& in, int width, int height, int r,
                                       bool alongRows) {
    std::vector<std::uint8_t> out(in.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            long sum = 0, count = 0;
            for (int k = -r; k <= r; ++k) {
                const int sx = alongRows ? x + k : x;
                const int sy = alongRows ? y : y + k;
                if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
                sum += in[static_cast<std::size_t>(sy * width + sx)];
                ++count;
            }
            out[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>((2 * sum + count) / (2 * count));
        }
    }
    return out;
}

DetailPlane planeOf(const std::vector<std::uint8_t>& bytes, int width, int height) {
    DetailPlane plane = DetailPlane::forOverwrite(width, height);
    std::copy(bytes.begin(), bytes.end(), plane.data());
    return plane;
}

std::vector<std::uint8_t> randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random() & 0xFF);
    return bytes;
}

TEST(DetailBoxBlur, PassesAverageOnlyTheSamplesInsideThePlane) {
    struct Case {
        int width, height, radius;
    };
    // Borders, interiors, radius 0, radius equal to and far beyond the sides, one-sample sides, and
    // windows of more than 2048 samples (divided, not multiplied).
    const Case cases[] = {{1, 1, 3},  {7, 5, 0},     {7, 5, 1},      {7, 5, 3},   {7, 5, 6},
                          {7, 5, 50}, {40, 3, 2},    {3, 40, 2},     {64, 64, 9}, {1, 30, 4},
                          {30, 1, 4}, {257, 2, 128}, {2, 2300, 1100}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " r=" << c.radius);
        const auto in = randomBytes(static_cast<std::size_t>(c.width * c.height), seed++);
        std::vector<std::uint8_t> out(in.size());
        for (bool parallel : {false, true}) {
            DetailBoxBlur::horizontalPass(in.data(), out.data(), c.width, c.height, c.radius, parallel);
            EXPECT_EQ(out, referenceBox(in, c.width, c.height, c.radius, true));
            DetailBoxBlur::verticalPass(in.data(), out.data(), c.width, c.height, c.radius, parallel);
            EXPECT_EQ(out, referenceBox(in, c.width, c.height, c.radius, false));
        }
    }
}

TEST(DetailBoxBlur, RadiusBeyondTheImageGivesTheMeanOfEachRowAndColumn) {
    // Row 0 = {0, 0, 1} -> mean 1/3 -> 0; row 1 = {255, 254, 254} -> 254.33 -> 254.
    const std::vector<std::uint8_t> in = {0, 0, 1, 255, 254, 254};
    std::vector<std::uint8_t> out(6);
    DetailBoxBlur::horizontalPass(in.data(), out.data(), 3, 2, 100, false);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 0, 254, 254, 254}));
    // Columns {0, 255} -> 127.5 rounds half up to 128.
    DetailBoxBlur::verticalPass(in.data(), out.data(), 3, 2, 100, false);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{128, 127, 128, 128, 127, 128}));
}

TEST(DetailBoxBlur, BlurIsTwoBoxBlursAndMayWorkInPlace) {
    const int width = 37, height = 23, radius = 4;
    const auto in = randomBytes(static_cast<std::size_t>(width * height), 99);
    auto expected = referenceBox(in, width, height, radius, true);
    expected = referenceBox(expected, width, height, radius, false);
    expected = referenceBox(expected, width, height, radius, true);
    expected = referenceBox(expected, width, height, radius, false);

    DetailPlane source = planeOf(in, width, height);
    DetailPlane out = DetailPlane::forOverwrite(width, height);
    DetailBoxBlur::blur(source, out, radius, true);
    EXPECT_EQ(out, planeOf(expected, width, height));

    DetailBoxBlur::blur(source, source, radius, true);
    EXPECT_EQ(source, planeOf(expected, width, height));
}

TEST(DetailBoxBlur, VerticalRowsGoOnWhereTheyStoppedInRingsAndColumnPieces) {
    struct Case {
        int width, height, radius;
    };
    // Radius 0, borders, radius beyond the side, and windows of more than 2048 samples.
    const Case cases[] = {{7, 5, 0}, {7, 5, 3}, {1, 30, 100}, {64, 64, 9}, {33, 200, 40}, {3, 2300, 1100}};
    std::mt19937 random(41);
    unsigned seed = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " r=" << c.radius);
        const auto source = randomBytes(static_cast<std::size_t>(c.width * c.height), seed++);
        const auto expected = referenceBox(source, c.width, c.height, c.radius, false);
        const int longestCut = 9;
        // Rings as small as the window and a cut allow: a row is written only once the rows it
        // replaces have left every window.
        DetailPlane in = DetailPlane::ring(c.width, std::min(c.height, 2 * c.radius + 2 + longestCut));
        DetailPlane out = DetailPlane::ring(c.width, longestCut);
        std::vector<std::uint32_t> sums(static_cast<std::size_t>(c.width));
        std::vector<std::uint8_t> result(source.size());
        const int middle = c.width / 2;
        int written = 0;
        for (int from = 0; from < c.height;) {
            const int to = std::min(c.height, from + 1 + static_cast<int>(random() % longestCut));
            for (const int end = std::min(c.height, to + c.radius); written < end; ++written)
                std::copy_n(source.begin() + written * c.width, c.width, in.row(written));
            // The columns in two pieces, each with its own part of the sums.
            DetailBoxBlur::verticalRows(in, out, sums.data(), c.height, c.radius, 0, middle, from, to);
            DetailBoxBlur::verticalRows(in, out, sums.data() + middle, c.height, c.radius, middle, c.width,
                                        from, to);
            for (int y = from; y < to; ++y)
                std::copy_n(out.row(y), c.width, result.begin() + y * c.width);
            from = to;
        }
        EXPECT_EQ(result, expected);
    }
}

TEST(DetailBoxBlur, OnePixelPlaneKeepsItsSample) {
    DetailPlane plane = planeOf({201}, 1, 1);
    DetailBoxBlur::blur(plane, plane, 5, true);
    EXPECT_EQ(plane.data()[0], 201);
}

TEST(HalfUpMean, MatchesIntegerDivisionForEveryReachableSum) {
    // Both sides of the switch from multiply-and-shift to division.
    std::vector<std::uint64_t> counts;
    for (std::uint64_t c = 1; c <= 64; ++c)
        counts.push_back(c);
    for (std::uint64_t c : {100u, 255u, 481u, 1000u, 2047u, 2048u, 2049u, 5000u})
        counts.push_back(c);
    for (std::uint64_t count : counts) {
        const HalfUpMean mean(count);
        for (std::uint64_t sum = 0; sum <= 255 * count; ++sum) {
            const auto expected = static_cast<std::uint8_t>((2 * sum + count) / (2 * count));
            if (mean(sum) != expected) {
                ADD_FAILURE() << "count " << count << " sum " << sum;
                break;
            }
        }
    }
}

TEST(DetailBoxBlur, BandsCoverEveryIndexOnce) {
    for (int total : {1, 2, 7, 16, 1000}) {
        std::vector<int> hits(static_cast<std::size_t>(total), 0);
        DetailBoxBlur::performParallelBands(total, false, [&](int begin, int end) {
            EXPECT_LT(begin, end);
            for (int i = begin; i < end; ++i)
                ++hits[static_cast<std::size_t>(i)];
        });
        EXPECT_EQ(hits, std::vector<int>(static_cast<std::size_t>(total), 1)) << total;
    }
}

} // namespace
} // namespace sorvin
