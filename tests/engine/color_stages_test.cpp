#include "engine/black_and_white_adjustment.hpp"
#include "engine/color_adjustment.hpp"
#include "engine/color_grading_adjustment.hpp"
#include "engine/saturation_adjustment.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

constexpr int kRed = 0, kOrange = 1, kYellow = 2, kMagenta = 7;

TEST(HueSectors, BoundariesBelongToTheUpperSectorAndTheLastSectorWrapsToRed) {
    HueSectors::PerColor values{10, 20, 30, 40, 50, 60, 70, 80};
    EXPECT_FLOAT_EQ(HueSectors::interpolate(values, 0), 10);
    EXPECT_FLOAT_EQ(HueSectors::interpolate(values, 30), 20);  // orange only, yellow weight 0
    EXPECT_FLOAT_EQ(HueSectors::interpolate(values, 90), 35);  // halfway yellow to green
    EXPECT_FLOAT_EQ(HueSectors::interpolate(values, 330), 45); // halfway magenta to red
    const float nearRed = HueSectors::interpolate(values, 359.9f);
    EXPECT_GT(nearRed, 10);
    EXPECT_LT(nearRed, 10.2f);
}

TEST(HueSectors, WrapDegreesMatchesTheFloatingRemainder) {
    for (float x :
         {-725.5f, -360.0f, -359.5f, -0.25f, 0.0f, 12.5f, 359.75f, 360.0f, 374.0f, 719.5f, 720.0f, 1000.0f}) {
        float expected = std::fmod(x, 360.0f);
        if (expected < 0) expected += 360.0f;
        EXPECT_EQ(HueSectors::wrapDegrees(x), expected) << x;
    }
}

TEST(ColorAdjustment, GreyPixelsPassUnchanged) {
    ColorAdjustmentPlan plan;
    plan.hue.fill(100);
    plan.saturation.fill(100);
    plan.luminance.fill(-100);
    for (int v : {0, 1, 128, 255}) {
        const auto b = static_cast<std::uint8_t>(v);
        EXPECT_EQ(ColorAdjustment::perPixel(b, b, b, plan), (RgbBytes{b, b, b}));
    }
}

TEST(ColorAdjustment, RedHueShiftTurnsRedFifteenDegreesTowardOrange) {
    ColorAdjustmentPlan plan;
    plan.hue[kRed] = 100;
    EXPECT_EQ(ColorAdjustment::perPixel(255, 0, 0, plan), (RgbBytes{255, 64, 0}));
    plan.hue[kRed] = -100; // 345 degrees: toward magenta
    EXPECT_EQ(ColorAdjustment::perPixel(255, 0, 0, plan), (RgbBytes{255, 0, 64}));
}

TEST(ColorAdjustment, SaturationAndLuminanceShiftsScaleByPowersOfTwo) {
    ColorAdjustmentPlan plan;
    plan.saturation[kRed] = -100; // saturation times 2^-0.6 = 0.6598
    EXPECT_EQ(ColorAdjustment::perPixel(255, 0, 0, plan), (RgbBytes{255, 87, 87}));
    plan = ColorAdjustmentPlan::zero;
    plan.luminance[kRed] = -100; // value times 0.6598
    EXPECT_EQ(ColorAdjustment::perPixel(255, 0, 0, plan), (RgbBytes{168, 0, 0}));
    plan.luminance[kRed] = 100; // clamped at full value
    EXPECT_EQ(ColorAdjustment::perPixel(200, 0, 0, plan), (RgbBytes{255, 0, 0}));
}

TEST(ColorAdjustment, OnlyTheColoursAroundThePixelHueCount) {
    ColorAdjustmentPlan plan;
    plan.luminance[kMagenta] = -100;
    plan.luminance[kYellow] = -100;
    // Pure green (120 degrees) lies on the green anchor: neither yellow nor magenta touches it.
    EXPECT_EQ(ColorAdjustment::perPixel(0, 200, 0, plan), (RgbBytes{0, 200, 0}));
    // Just below orange (29.9 degrees) has no yellow share either.
    EXPECT_EQ(ColorAdjustment::perPixel(255, 127, 0, plan), (RgbBytes{255, 127, 0}));
    plan = ColorAdjustmentPlan::zero;
    plan.hue[kOrange] = 100;
    EXPECT_NE(ColorAdjustment::perPixel(255, 127, 0, plan), (RgbBytes{255, 127, 0}));
}

TEST(ColorAdjustment, RoundedByteRoundsHalfAwayFromZeroAndClamps) {
    EXPECT_EQ(ColorAdjustment::roundedByte(0.49999997f), 0);
    EXPECT_EQ(ColorAdjustment::roundedByte(0.5f), 1);
    EXPECT_EQ(ColorAdjustment::roundedByte(127.5f), 128);
    EXPECT_EQ(ColorAdjustment::roundedByte(254.49f), 254);
    EXPECT_EQ(ColorAdjustment::roundedByte(-3.0f), 0);
    EXPECT_EQ(ColorAdjustment::roundedByte(255.4f), 255);
    EXPECT_EQ(ColorAdjustment::roundedByte(1e9f), 255);
}

TEST(SaturationAdjustment, ExtremesOfSaturation) {
    // -100 gives the pixel's luminance in every channel.
    EXPECT_EQ(SaturationAdjustment::perPixel({200, 100, 50}, -100, 0), (RgbBytes{118, 118, 118}));
    // +100 stretches by 1.9 around the luminance, clamped per channel.
    EXPECT_EQ(SaturationAdjustment::perPixel({200, 100, 50}, 100, 0), (RgbBytes{255, 84, 0}));
    EXPECT_EQ(SaturationAdjustment::perPixel({120, 110, 100}, 100, 0), (RgbBytes{128, 109, 90}));
}

TEST(SaturationAdjustment, VibranceFavoursWeaklySaturatedPixels) {
    const RgbBytes muted{120, 110, 100};
    const RgbBytes vivid{240, 40, 20};
    const RgbBytes mutedOut = SaturationAdjustment::perPixel(muted, 0, 100);
    const RgbBytes vividOut = SaturationAdjustment::perPixel(vivid, 0, 100);
    const double mutedGain = (mutedOut.red - mutedOut.blue) / double(muted.red - muted.blue);
    const double vividGain = (vividOut.red - vividOut.blue) / double(vivid.red - vivid.blue);
    EXPECT_GT(mutedGain, 1.7);
    EXPECT_LT(vividGain, mutedGain);
    // A grey pixel has nothing to stretch.
    EXPECT_EQ(SaturationAdjustment::perPixel({90, 90, 90}, 40, 100), (RgbBytes{90, 90, 90}));
}

TEST(BlackAndWhiteAdjustment, FullAmountWithNeutralWeightsGivesTheLuminance) {
    const auto plan = BlackAndWhiteAdjustment::makePlan(100, {});
    EXPECT_TRUE(plan.isUniform);
    EXPECT_EQ(plan.amount, 1.0f);
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({200, 100, 50}, plan), (RgbBytes{118, 118, 118}));
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({77, 77, 77}, plan), (RgbBytes{77, 77, 77}));
}

TEST(BlackAndWhiteAdjustment, ColourWeightsBrightenTheirHuesOnly) {
    const auto plan = BlackAndWhiteAdjustment::makePlan(100, {100, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(plan.isUniform);
    EXPECT_FLOAT_EQ(plan.weights[kRed], 1.8f);
    // Pure red: luminance 54.2 times 1.8.
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({255, 0, 0}, plan), (RgbBytes{98, 98, 98}));
    // Pure blue is far from red and keeps its plain luminance.
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({0, 0, 255}, plan), (RgbBytes{18, 18, 18}));
    // Grey keeps its luminance whatever the weights.
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({60, 60, 60}, plan), (RgbBytes{60, 60, 60}));
}

TEST(BlackAndWhiteAdjustment, PartialAmountMixesTowardGrey) {
    const auto half = BlackAndWhiteAdjustment::makePlan(50, {});
    // Grey 117.65; each channel goes halfway.
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({200, 100, 50}, half), (RgbBytes{159, 109, 84}));
    EXPECT_EQ(BlackAndWhiteAdjustment::perPixel({200, 100, 50}, BlackAndWhiteAdjustmentPlan::zero),
              (RgbBytes{200, 100, 50}));
}

TEST(ColorGradingAdjustment, DirectionsOfHueAndSaturation) {
    const auto cyan = ColorGradingAdjustment::direction(0, -50);
    EXPECT_DOUBLE_EQ(cyan.strength, 0.5);
    EXPECT_EQ(cyan.red, 0);
    EXPECT_EQ(cyan.green, 1);
    EXPECT_EQ(cyan.blue, 1);
    EXPECT_NEAR(cyan.luminance, 0.7874, 1e-12);
    EXPECT_NEAR(cyan.length, 0.84285009343299, 1e-12);
    EXPECT_NEAR(cyan.unitRed, -0.93421120331477, 1e-12);
    // Both ends of the hue slider are cyan.
    EXPECT_EQ(ColorGradingAdjustment::direction(100, 30), ColorGradingAdjustment::direction(-100, 30));
    EXPECT_EQ(ColorGradingAdjustment::direction(100, 30), ColorGradingAdjustment::direction(180.0, 0.3));
    // The unit vector carries no luminance.
    const auto d = ColorGradingAdjustment::direction(37, 80);
    EXPECT_NEAR(0.2126 * d.unitRed + 0.7152 * d.unitGreen + 0.0722 * d.unitBlue, 0, 1e-12);
    EXPECT_NEAR(d.unitRed * d.unitRed + d.unitGreen * d.unitGreen + d.unitBlue * d.unitBlue, 1, 1e-12);
}

TEST(ColorGradingAdjustment, PlanIsAbsentOnlyWhenEveryValueIsZero) {
    EXPECT_FALSE(ColorGradingAdjustment::plan(ColorGradingValues{}));
    ColorGradingValues balanceOnly;
    balanceOnly.balance = 40;
    const auto plan = ColorGradingAdjustment::plan(balanceOnly);
    ASSERT_TRUE(plan);
    EXPECT_EQ(*plan, ColorGradingPlan::zero);
}

TEST(ColorGradingAdjustment, ShadowTintFadesOutTowardTheHighlights) {
    ColorGradingValues values;
    values.shadowsSaturation = -50; // cyan at half strength
    const auto plan = ColorGradingAdjustment::plan(values);
    ASSERT_TRUE(plan);
    EXPECT_NEAR(plan->red[0], 0.35 * 0.5 * -0.93421120331477, 1e-12);
    EXPECT_EQ(plan->red[200], 0);
    EXPECT_EQ(ColorGradingAdjustment::perPixel({100, 100, 100}, *plan), (RgbBytes{91, 102, 102}));
    EXPECT_EQ(ColorGradingAdjustment::perPixel({30, 30, 30}, *plan), (RgbBytes{0, 39, 39}));
    EXPECT_EQ(ColorGradingAdjustment::perPixel({220, 220, 220}, *plan), (RgbBytes{220, 220, 220}));
}

TEST(ColorGradingAdjustment, ZoneWeightsAlwaysSumToOne) {
    // The same tint on all four wheels shifts every luminance alike, whatever the zones look like.
    const double unitRed = ColorGradingAdjustment::direction(0, 100).unitRed;
    for (int blending : {-100, 0, 100}) {
        ColorGradingValues values;
        values.globalSaturation = 100;
        values.shadowsSaturation = 100;
        values.midtonesSaturation = 100;
        values.highlightsSaturation = 100;
        values.blending = blending;
        values.balance = -70;
        const auto plan = ColorGradingAdjustment::plan(values);
        ASSERT_TRUE(plan);
        for (int i = 0; i < 256; ++i)
            EXPECT_NEAR(plan->red[i], 0.35 * 2 * unitRed, 1e-12) << i;
    }
}

} // namespace
} // namespace sorvin
