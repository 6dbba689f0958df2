#include "engine/vignette_adjustment.hpp"
#include "model/photo_parameters.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

double encoded(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}

TEST(VignetteAdjustment, DefaultShapeReachesHalfwayAtTheLongSidesEdgeMidpoint) {
    // Landscape 301 x 201: centre (150, 100), axes 125 and 100 with roundness 0.
    const auto plan = VignetteAdjustment::plan(50, 0, 0, 0, 301, 201, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->geometry.axisX, 125);
    EXPECT_DOUBLE_EQ(plan->geometry.axisY, 100);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 150, 0), 128);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 150, 200), 128);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 150, 100), 0);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 0, 0), 255);
}

TEST(VignetteAdjustment, RoundnessMovesFromTheFramesProportionsToACircle) {
    struct Case {
        int roundness;
        double axisX, axisY;
    };
    const Case cases[] = {{-100, 150, 100}, {100, 100, 100}, {-300, 150, 100}};
    for (const Case& c : cases) {
        const auto plan = VignetteAdjustment::plan(10, 0, c.roundness, 0, 301, 201, std::nullopt);
        EXPECT_DOUBLE_EQ(plan->geometry.axisX, c.axisX) << c.roundness;
        EXPECT_DOUBLE_EQ(plan->geometry.axisY, c.axisY) << c.roundness;
    }
}

TEST(VignetteAdjustment, TableIsIdentityAtLevelZeroAndScalesLinearLightAtTheEdge) {
    const auto table = VignetteAdjustment::makeTable(100);
    ASSERT_EQ(table.size(), 65536u);
    const auto& linear = VignetteAdjustment::linearComponents();
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(table[static_cast<std::size_t>(v)], v);
        const int expected =
            static_cast<int>(std::lround(encoded(0.4 * linear[static_cast<std::size_t>(v)]) * 255));
        EXPECT_EQ(table[static_cast<std::size_t>(255 * 256 + v)], expected) << v;
    }
    // Negative amounts lighten and clip at white.
    const auto lighten = VignetteAdjustment::makeTable(-100);
    EXPECT_GT(lighten[255 * 256 + 128], 128);
    EXPECT_EQ(lighten[255 * 256 + 250], 255);
}

TEST(VignetteAdjustment, NoPlanWithoutAmountOrArea) {
    PhotoParameters parameters;
    parameters.setValue(40, PhotoParameter::vignette_midpoint);
    EXPECT_FALSE(VignetteAdjustment::plan(parameters, 100, 100, std::nullopt));
    parameters.setValue(-30, PhotoParameter::vignette_amount);
    const auto plan = VignetteAdjustment::plan(parameters, 100, 100, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->geometry.midpoint, 0.66);
    EXPECT_EQ(plan->table, VignetteAdjustment::makeTable(-30));
    EXPECT_FALSE(VignetteAdjustment::plan(0, 0, 0, 0, 100, 100, std::nullopt));
    EXPECT_FALSE(VignetteAdjustment::plan(20, 0, 0, 0, 0, 100, std::nullopt));
    EXPECT_FALSE(VignetteAdjustment::plan(20, 0, 0, 0, 100, 100, VignetteFrame{50, 50, 0, 100, 0}));
}

TEST(VignetteAdjustment, OnePixelWideFrameGetsAHalfPixelAxis) {
    const auto plan = VignetteAdjustment::plan(20, 0, 0, 0, 1, 50, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->geometry.axisX, 0.5);
    EXPECT_DOUBLE_EQ(plan->geometry.axisY, 12.25) << "halfway between 24.5 and the circle's 0";
}

TEST(VignetteAdjustment, FrameKeepsTheVignetteWhereItLiesInTheWholePhoto) {
    // The loupe develops a 40 x 30 part whose top-left is at (130, 90) of the 301 x 201 photo.
    const auto whole = VignetteAdjustment::plan(60, 20, -30, 10, 301, 201, std::nullopt);
    const auto part =
        VignetteAdjustment::plan(60, 20, -30, 10, 40, 30, VignetteFrame{150 - 130, 100 - 90, 301, 201, 0});
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 40; x += 9)
            EXPECT_EQ(VignetteAdjustment::level(*part, x, y),
                      VignetteAdjustment::level(*whole, x + 130, y + 90));
}

TEST(VignetteAdjustment, RotatedFrameTurnsTheAxes) {
    // A 301 x 201 frame turned 90 degrees: its long axis (125) now runs vertically.
    const auto plan = VignetteAdjustment::plan(50, 0, 0, 0, 401, 401, VignetteFrame{200, 200, 301, 201, 90});
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->geometry.isRotated);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 200, 200 + 125), 128);
    EXPECT_EQ(VignetteAdjustment::level(*plan, 200 + 100, 200), 128);
    EXPECT_GT(VignetteAdjustment::level(*plan, 200 + 125, 200),
              VignetteAdjustment::level(*plan, 200, 200 + 125));
}

TEST(VignetteAdjustment, ApplyRowDarkensEveryPixelByItsLevelAndKeepsAlpha) {
    // Whole rows, turned or not, and widths that leave columns after the last group of four.
    const auto plain = VignetteAdjustment::plan(100, 0, 0, 0, 301, 201, std::nullopt);
    const auto turned =
        VignetteAdjustment::plan(-70, 30, 40, -20, 303, 201, VignetteFrame{140, 90, 320, 240, 33});
    for (const auto& [plan, width] : {std::pair{&*plain, 301}, std::pair{&*turned, 303}}) {
        for (int y : {0, 57, 200}) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = static_cast<std::uint8_t>(i * 37 % 256);
            const std::vector<std::uint8_t> before = row;
            VignetteAdjustment::applyRow(row.data(), y, width, *plan);
            for (int x = 0; x < width; ++x) {
                const std::size_t table =
                    static_cast<std::size_t>(VignetteAdjustment::level(*plan, x, y)) * 256;
                for (int c = 0; c < 3; ++c) {
                    const std::size_t i = static_cast<std::size_t>(x * 4 + c);
                    ASSERT_EQ(row[i], plan->table[table + before[i]]) << x << "," << y << " channel " << c;
                }
                ASSERT_EQ(row[static_cast<std::size_t>(x * 4 + 3)],
                          before[static_cast<std::size_t>(x * 4 + 3)]);
            }
        }
    }
    std::vector<std::uint8_t> grey(301 * 4, 200);
    VignetteAdjustment::applyRow(grey.data(), 0, 301, *plain);
    EXPECT_LT(grey[0], grey[150 * 4]) << "darker at the edge than at the centre";
}

} // namespace
} // namespace sorvin
