#include "export/export_long_edge.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

struct SizeCase {
    int width, height, limit;
    PixelSize expected;
};

TEST(ExportLongEdgeTest, OutputSizeFollowsTheLongSideAndRoundsHalfAwayFromZero) {
    const SizeCase cases[] = {
        {6000, 4000, 2048, {2048, 1365}}, {4000, 6000, 2048, {1365, 2048}}, {3000, 3000, 1000, {1000, 1000}},
        {1000, 800, 2048, {1000, 800}},   {6000, 4000, 100, {256, 171}},    {40000, 100, 20000, {16384, 41}},
        {3, 10000, 256, {1, 256}},        {301, 200, 256, {256, 170}},      {0, 0, 256, {1, 1}},
        {512, 3, 256, {256, 2}}, // 1.5 rounds up
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportLongEdge::outputSize(c.width, c.height, c.limit), c.expected)
            << c.width << " x " << c.height << " / " << c.limit;
}

TEST(ExportLongEdgeTest, LimitsAreClampedToTheUsableRange) {
    EXPECT_EQ(ExportLongEdge::clampedLimit(100), 256);
    EXPECT_EQ(ExportLongEdge::clampedLimit(20000), 16384);
    EXPECT_EQ(ExportLongEdge::clampedLimit(3000), 3000);
    EXPECT_EQ(ExportLongEdge::clampedLimit(std::optional<int>{}), std::nullopt);
}

SharedImage gradient(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            p[2] = 90;
            p[3] = 255;
        }
    return makeImage(std::move(buffer));
}

TEST(ExportLongEdgeTest, ResizedImageIsTheSameObjectWhenNothingIsReduced) {
    const auto image = gradient(1000, 800);
    EXPECT_EQ(ExportLongEdge::resizedImage(image, std::nullopt), image);
    EXPECT_EQ(ExportLongEdge::resizedImage(image, 2048), image);
}

TEST(ExportLongEdgeTest, ResizedImageHasExactlyTheOutputSizeAndKeepsTheContent) {
    const auto image = gradient(1201, 803);
    const auto reduced = ExportLongEdge::resizedImage(image, 300);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->width(), 300);
    EXPECT_EQ(reduced->height(), 201);
    // A smooth ramp stays a ramp: left dark, right bright, top to bottom the same.
    const std::uint8_t* left = reduced->row(100) + 4 * 2;
    const std::uint8_t* right = reduced->row(100) + 4 * 297;
    EXPECT_LT(left[0], 10);
    EXPECT_GT(right[0], 245);
    EXPECT_NEAR(reduced->row(100)[4 * 150 + 1], 127, 3);
    EXPECT_EQ(reduced->row(100)[4 * 150 + 2], 90);
    EXPECT_EQ(reduced->row(100)[4 * 150 + 3], 255);
}

} // namespace
} // namespace sorvin
