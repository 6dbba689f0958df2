#include "engine/display_adjustment_resolution.hpp"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

SharedImage filledImage(int width, int height, const std::function<void(int, int, std::uint8_t*)>& pixel) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixel(x, y, buffer.row(y) + 4 * x);
    }
    return makeImage(std::move(buffer));
}

SharedImage uniformImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                         std::uint8_t a) {
    return filledImage(width, height, [=](int, int, std::uint8_t* p) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = a;
    });
}

TEST(DisplayAdjustmentResolution, NeverEnlargesAndRefusesEmptyRequests) {
    const SharedImage image = uniformImage(40, 30, 1, 2, 3, 255);
    EXPECT_EQ(DisplayAdjustmentResolution::resized(image, 40), image);
    EXPECT_EQ(DisplayAdjustmentResolution::resized(image, 4000), image);
    EXPECT_FALSE(DisplayAdjustmentResolution::resized(image, 0));
    EXPECT_FALSE(DisplayAdjustmentResolution::resized(image, -5));
    EXPECT_FALSE(DisplayAdjustmentResolution::resized(nullptr, 10));
}

TEST(DisplayAdjustmentResolution, SizesRoundHalfAwayFromZeroAndKeepAtLeastOnePixel) {
    struct Row {
        int width, height, longEdge, expectedWidth, expectedHeight;
    };
    for (const Row& row :
         {Row{6000, 4000, 2560, 2560, 1707}, Row{300, 200, 100, 100, 67}, Row{200, 300, 100, 67, 100},
          Row{30, 3, 5, 5, 1}, Row{3000, 1, 10, 10, 1}, Row{8, 2, 4, 4, 1}, Row{40, 20, 30, 30, 15}}) {
        const SharedImage resized = DisplayAdjustmentResolution::resized(
            uniformImage(row.width, row.height, 9, 9, 9, 255), row.longEdge);
        ASSERT_TRUE(resized);
        EXPECT_EQ(resized->width(), row.expectedWidth) << row.width << "x" << row.height;
        EXPECT_EQ(resized->height(), row.expectedHeight) << row.width << "x" << row.height;
    }
}

TEST(DisplayAdjustmentResolution, FlatColourStaysExact) {
    const SharedImage resized =
        DisplayAdjustmentResolution::resized(uniformImage(97, 61, 200, 13, 77, 230), 40);
    ASSERT_TRUE(resized);
    for (int y = 0; y < resized->height(); ++y) {
        for (int x = 0; x < resized->width(); ++x) {
            const std::uint8_t* p = resized->row(y) + 4 * x;
            ASSERT_EQ(p[0], 200);
            ASSERT_EQ(p[1], 13);
            ASSERT_EQ(p[2], 77);
            ASSERT_EQ(p[3], 230);
        }
    }
}

TEST(DisplayAdjustmentResolution, FineDetailAveragesInsteadOfAliasing) {
    // A one-pixel checkerboard reduced eight times must come out as an even grey, not as a pattern.
    const SharedImage checker = filledImage(400, 400, [](int x, int y, std::uint8_t* p) {
        const std::uint8_t v = (x + y) % 2 ? 255 : 0;
        p[0] = p[1] = p[2] = v;
        p[3] = 255;
    });
    const SharedImage resized = DisplayAdjustmentResolution::resized(checker, 50);
    ASSERT_TRUE(resized);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 50; ++x)
            ASSERT_NEAR(resized->row(y)[4 * x], 127.5, 3) << x << "," << y;
    }
}

TEST(DisplayAdjustmentResolution, HardEdgesStayPremultipliedAndInPlace) {
    // Opaque white on the left half, transparent on the right: ringing must not push colour above alpha.
    const SharedImage edge = filledImage(300, 30, [](int x, int, std::uint8_t* p) {
        const std::uint8_t v = x < 150 ? 255 : 0;
        p[0] = p[1] = p[2] = p[3] = v;
    });
    const SharedImage resized = DisplayAdjustmentResolution::resized(edge, 100);
    ASSERT_TRUE(resized);
    ASSERT_EQ(resized->width(), 100);
    for (int y = 0; y < resized->height(); ++y) {
        for (int x = 0; x < 100; ++x) {
            const std::uint8_t* p = resized->row(y) + 4 * x;
            for (int c = 0; c < 3; ++c)
                ASSERT_LE(p[c], p[3]);
        }
        EXPECT_EQ(resized->row(y)[4 * 10 + 3], 255);
        EXPECT_EQ(resized->row(y)[4 * 90 + 3], 0);
        EXPECT_NEAR(resized->row(y)[4 * 49 + 3], 255, 40);
        EXPECT_NEAR(resized->row(y)[4 * 50 + 3], 0, 40);
    }
}

} // namespace
} // namespace sorvin
