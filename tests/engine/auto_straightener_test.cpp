#include "engine/auto_straightener.hpp"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>

namespace sorvin {
namespace {

// A grey picture drawn from a function of the pixel centre.
SharedImage draw(int width, int height, const std::function<double(double, double)>& grey) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto v = static_cast<std::uint8_t>(std::clamp(grey(x + 0.5, y + 0.5), 0.0, 255.0) + 0.5);
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

// Soft-edged stripes of the given period whose edges lean by `degrees`, clockwise positive (top
// to the right).
double stripes(double x, double y, double degrees, double period = 40) {
    const double t = std::tan(degrees * std::numbers::pi / 180.0);
    const double u = x + (y - 300) * t;
    const double phase = std::fmod(std::fmod(u, period) + period, period) / period;
    return 128 + 100 * std::clamp(4 * std::sin(2 * std::numbers::pi * phase), -1.0, 1.0);
}

TEST(AutoStraightenerTest, LeaningEdgesAreCorrectedTheOtherWay) {
    struct Row {
        double lean;
        double correction;
    };
    const Row rows[] = {{2.0, -2.0}, {-3.0, 3.0}, {0.0, 0.0}, {1.4, -1.5}, {4.6, -4.5}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lean);
        const auto analysis = AutoStraightener::analyze(
            *draw(800, 600, [&](double x, double y) { return stripes(x, y, row.lean); }));
        ASSERT_FALSE(analysis.rejection.has_value());
        ASSERT_TRUE(analysis.correction.has_value());
        EXPECT_EQ(*analysis.correction, row.correction);
        if (row.correction == 0) {
            EXPECT_FALSE(std::signbit(*analysis.correction)) << "no negative zero";
        }
        EXPECT_NEAR(*analysis.peakAngle, row.lean, 0.2);
        EXPECT_GE(analysis.peakRatio, 2.5);
        EXPECT_LT(analysis.secondaryPeakRatio, 0.8);
        EXPECT_GE(analysis.eligiblePixelCount, 1000);
    }
}

TEST(AutoStraightenerTest, LargePicturesAreMeasuredAtReducedSize) {
    // 3000 × 2000 reduces to 1024 × 683; the lean is the same.
    const auto analysis = AutoStraightener::analyze(
        *draw(3000, 2000, [](double x, double y) { return stripes(x, y, 2.0, 120); }));
    ASSERT_TRUE(analysis.correction.has_value());
    EXPECT_EQ(*analysis.correction, -2.0);
}

TEST(AutoStraightenerTest, SteepLeansAreRefusedWithTheMeasuredAngle) {
    const auto analysis =
        AutoStraightener::analyze(*draw(800, 600, [](double x, double y) { return stripes(x, y, 8.0); }));
    EXPECT_EQ(analysis.rejection, StraighteningRejection::excessiveAngle);
    EXPECT_FALSE(analysis.correction.has_value());
    ASSERT_TRUE(analysis.peakAngle.has_value());
    EXPECT_NEAR(*analysis.peakAngle, 8.0, 0.2);
}

TEST(AutoStraightenerTest, TwoEqualDirectionsAreAmbiguous) {
    // Left half leans 3° one way, right half 3° the other.
    const auto analysis = AutoStraightener::analyze(*draw(
        800, 600, [](double x, double y) { return x < 400 ? stripes(x, y, 3.0) : stripes(x, y, -3.0); }));
    EXPECT_EQ(analysis.rejection, StraighteningRejection::ambiguousPeak);
    EXPECT_GE(analysis.secondaryPeakRatio, 0.8);
    EXPECT_TRUE(analysis.peakAngle.has_value());
}

TEST(AutoStraightenerTest, EdgesInEveryDirectionGiveAWeakPeak) {
    // Concentric rings: every direction votes about equally.
    const auto analysis = AutoStraightener::analyze(*draw(800, 600, [](double x, double y) {
        const double r = std::hypot(x - 400, y - 300);
        return 128 + 100 * std::clamp(4 * std::sin(r / 6), -1.0, 1.0);
    }));
    EXPECT_EQ(analysis.rejection, StraighteningRejection::weakPeak);
    EXPECT_LT(analysis.peakRatio, 2.5);
    EXPECT_TRUE(analysis.peakAngle.has_value());
}

TEST(AutoStraightenerTest, PicturesWithoutEnoughUprightEdgesAreRefused) {
    struct Row {
        const char* name;
        SharedImage image;
        int votes;
    };
    const Row rows[] = {
        {"flat grey", draw(400, 300, [](double, double) { return 128; }), 0},
        {"clean horizon", draw(400, 300, [](double, double y) { return y < 150 ? 200 : 40; }), 0},
        {"too thin once reduced", draw(2000, 4, [](double x, double) { return stripes(x, 0, 0); }), 0},
        {"two pixels", draw(2, 2, [](double x, double) { return x * 100; }), 0},
        // One upright step edge votes with the two columns beside it on every interior row.
        {"998 votes", draw(64, 501, [](double x, double) { return x < 32 ? 0 : 200; }), 998},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto analysis = AutoStraightener::analyze(*row.image);
        EXPECT_EQ(analysis.rejection, StraighteningRejection::insufficientEdges);
        EXPECT_EQ(analysis.eligiblePixelCount, row.votes);
        EXPECT_FALSE(analysis.peakAngle.has_value());
        EXPECT_EQ(analysis.peakRatio, 0);
        EXPECT_EQ(analysis.secondaryPeakRatio, 0);
    }
}

TEST(AutoStraightenerTest, AThousandVotesAreEnoughAndALevelEdgeNeedsNoCorrection) {
    const auto analysis =
        AutoStraightener::analyze(*draw(64, 502, [](double x, double) { return x < 32 ? 0 : 200; }));
    EXPECT_EQ(analysis.eligiblePixelCount, 1000);
    EXPECT_FALSE(analysis.rejection.has_value());
    EXPECT_EQ(analysis.correction, 0.0);
    // All votes fall in the bin right of vertical; the parabola through the smoothed bins puts
    // the peak exactly at 0.
    EXPECT_DOUBLE_EQ(*analysis.peakAngle, 0.0);
}

TEST(AutoStraightenerTest, MovingAverageTakesTwoBinsAtTheEnds) {
    const auto smoothed = AutoStraightener::movingAverage({3, 0, 0, 6});
    ASSERT_EQ(smoothed.size(), 4u);
    EXPECT_DOUBLE_EQ(smoothed[0], 1.5);
    EXPECT_DOUBLE_EQ(smoothed[1], 1.0);
    EXPECT_DOUBLE_EQ(smoothed[2], 2.0);
    EXPECT_DOUBLE_EQ(smoothed[3], 3.0);
}

TEST(AutoStraightenerTest, GrayBufferKeepsSmallPicturesAndCapsTheLongSide) {
    const auto small = AutoStraightener::grayscalePixels(*draw(3, 2, [](double, double) { return 100; }));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(small->width, 3);
    EXPECT_EQ(small->height, 2);
    EXPECT_FLOAT_EQ(small->values[0], 100.0f);

    const auto wide = AutoStraightener::grayscalePixels(*draw(2000, 4, [](double, double) { return 0; }));
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(wide->width, 1024);
    EXPECT_EQ(wide->height, 2);

    // Weights 0.299, 0.587, 0.114 of pure red, green and blue.
    PixelBuffer rgb(3, 1);
    for (int c = 0; c < 3; ++c) {
        rgb.row(0)[4 * c + c] = 255;
        rgb.row(0)[4 * c + 3] = 255;
    }
    const auto gray = AutoStraightener::grayscalePixels(Image(std::move(rgb)));
    ASSERT_TRUE(gray.has_value());
    EXPECT_NEAR(gray->values[0], 76.245f, 1e-3f);
    EXPECT_NEAR(gray->values[1], 149.685f, 1e-3f);
    EXPECT_NEAR(gray->values[2], 29.07f, 1e-3f);
}

} // namespace
} // namespace sorvin
