#include "engine/parameter_adjustment.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sorvin {
namespace {

bool nonDecreasing(const ByteTable& table) {
    return std::is_sorted(table.begin(), table.end());
}

// sRGB round trip in double precision, as an independent reference for single-stage tables.
double referenceByte(int i, double linearScale) {
    const double x = i / 255.0;
    const double lin = (x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4)) * linearScale;
    const double clamped = std::clamp(lin, 0.0, 1.0);
    const double e = clamped <= 0.0031308 ? 12.92 * clamped : 1.055 * std::pow(clamped, 1 / 2.4) - 0.055;
    return 255 * e;
}

void expectNearReference(const ByteTable& table, double linearScale) {
    for (int i = 0; i < 256; ++i)
        EXPECT_NEAR(table[i], referenceByte(i, linearScale), 0.5 + 1e-3) << "entry " << i;
}

TEST(ParameterLookupTables, NeutralValuesGiveNoTables) {
    EXPECT_FALSE(ParameterAdjustment::lookupTables(ToneTableValues{}));
}

TEST(ParameterLookupTables, WhiteBalanceMultipliers) {
    EXPECT_EQ(ParameterAdjustment::channelMultipliers(0, 0), (ParameterChannelMultipliers{1, 1, 1}));
    const auto warm = ParameterAdjustment::channelMultipliers(100, 0);
    EXPECT_NEAR(warm.red, 1.3968765, 1e-5);
    EXPECT_NEAR(warm.green, 0.9215948, 1e-5);
    EXPECT_NEAR(warm.blue, 0.6080258, 1e-5);
    // Out-of-range values are held at the ends of the slider.
    EXPECT_EQ(ParameterAdjustment::channelMultipliers(250, -300),
              ParameterAdjustment::channelMultipliers(100, -100));
    // Positive tint raises red and blue and lowers green.
    const auto magenta = ParameterAdjustment::channelMultipliers(0, 60);
    EXPECT_GT(magenta.red, 1);
    EXPECT_GT(magenta.blue, 1);
    EXPECT_LT(magenta.green, 1);
    EXPECT_NEAR(0.2126 * magenta.red + 0.7152 * magenta.green + 0.0722 * magenta.blue, 1, 1e-6);
}

TEST(ParameterLookupTables, TemperatureScalesEachChannelInLinearLight) {
    ToneTableValues values;
    values.temperature = 100;
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables->multipliers, ParameterAdjustment::channelMultipliers(100, 0));
    expectNearReference(tables->red, tables->multipliers.red);
    expectNearReference(tables->green, tables->multipliers.green);
    expectNearReference(tables->blue, tables->multipliers.blue);
    EXPECT_EQ(tables->red[255], 255);
    EXPECT_LT(tables->blue[255], 255);
}

TEST(ParameterLookupTables, ExposureDarkensWhiteButKeepsBlack) {
    ToneTableValues values;
    values.exposure = -100; // gain 1/32
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables->red[0], 0);
    EXPECT_LT(tables->red[255], 255);
    expectNearReference(tables->green, 1.0 / 32);
    values.exposure = 40;
    EXPECT_EQ(ParameterAdjustment::lookupTables(values)->blue[0], 0);
}

TEST(ParameterLookupTables, BlackLevelLiftsEntryZero) {
    ToneTableValues values;
    values.blackLevel = 100;
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    EXPECT_EQ(tables->red[0], 27);
    EXPECT_EQ(tables->green[0], 27);
    EXPECT_EQ(tables->blue[0], 27);
    EXPECT_EQ(tables->red[255], 255);
}

TEST(ParameterLookupTables, WhiteLevelAndContrastKeepTheEnds) {
    ToneTableValues values;
    values.whiteLevel = 100; // white point 0.88: the top clips
    const auto levels = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(levels);
    EXPECT_EQ(levels->red[0], 0);
    EXPECT_EQ(levels->red[230], 255);
    EXPECT_LT(levels->red[200], 255);

    values = ToneTableValues{};
    values.contrast = 100;
    const auto contrast = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(contrast);
    EXPECT_EQ(contrast->red[0], 0);
    EXPECT_EQ(contrast->red[255], 255);
    EXPECT_LT(contrast->red[60], 60);   // darks get darker
    EXPECT_GT(contrast->red[190], 190); // lights get lighter
    EXPECT_NEAR(contrast->red[128], 128, 1);
}

TEST(ParameterLookupTables, ShadowsAndHighlightsWeighByTheDisplayValue) {
    // Reference in double precision: the light is scaled by 2^(k * weight^3), the weight taken on
    // the display value (1 - value for shadows, the value itself for highlights).
    const auto reference = [](int i, double kS, double kH) {
        const auto decode = [](double x) {
            return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        const auto encode = [](double v) {
            return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        };
        double lin = decode(i / 255.0);
        lin *= std::exp2(kS * std::pow(1 - encode(std::min(lin, 1.0)), 3));
        lin *= std::exp2(kH * std::pow(encode(std::min(lin, 1.0)), 3));
        return 255 * encode(std::clamp(lin, 0.0, 1.0));
    };
    for (auto [shadows, highlights] : {std::pair{100, 0}, {0, -100}, {-60, 80}}) {
        ToneTableValues values;
        values.shadows = shadows;
        values.highlights = highlights;
        const auto tables = ParameterAdjustment::lookupTables(values);
        ASSERT_TRUE(tables);
        for (int i = 0; i < 256; ++i) {
            EXPECT_NEAR(tables->green[i], reference(i, 0.006 * shadows, 0.006 * highlights), 0.5 + 1e-3)
                << "entry " << i << " shadows " << shadows << " highlights " << highlights;
        }
    }
}

TEST(ParameterLookupTables, GammaAloneIsNotMonotonisedButBendsTheMidtones) {
    ToneTableValues values;
    values.curveGamma = 50;
    EXPECT_FALSE(values.usesToneCurve());
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    // Exponent 1 / 2^0.3: midtones lift, ends stay.
    EXPECT_EQ(tables->red[128],
              static_cast<int>(std::lround(255 * std::pow(128 / 255.0, 1 / std::exp2(0.3)))));
    EXPECT_EQ(tables->red[0], 0);
    EXPECT_EQ(tables->red[255], 255);
}

TEST(ParameterLookupTables, ToneRegionsAreMonotonised) {
    ToneTableValues values;
    values.curveDarks = 100;
    values.curveLights = -100;
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    EXPECT_GT(tables->red[102], 102 + 20); // 0.4 is the centre of the darks
    EXPECT_TRUE(nonDecreasing(tables->red));
}

TEST(ParameterLookupTables, PointCurvesAreAppliedMasterFirstAndMonotonised) {
    ToneTableValues values;
    values.curvePoints[0] = {0, 50, 20, 80, 100}; // a master curve with a dip
    const auto tables = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(tables);
    EXPECT_TRUE(nonDecreasing(tables->red));
    EXPECT_EQ(tables->red[80], 127); // held at the master's peak through its dip
    EXPECT_EQ(tables->red, tables->blue);

    // Master inverts the order of the halves, then the red curve lifts the result.
    values = ToneTableValues{};
    values.curvePoints[0] = {0, 50, 50, 50, 100};
    values.curvePoints[1] = {0, 50, 75, 100, 100};
    const auto composed = ParameterAdjustment::lookupTables(values);
    ASSERT_TRUE(composed);
    EXPECT_EQ(composed->green[128], 128); // master alone: 0.5 across the middle
    EXPECT_EQ(composed->red[128], 191);   // red curve at 0.5 is 0.75
    EXPECT_EQ(composed->red[255], 255);
}

TEST(ParameterLookupTables, TheIdentityTableCountsUp) {
    const ByteTable& identity = ParameterAdjustment::identityTable();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(identity[i], i);
    EXPECT_EQ(&identity, &ParameterAdjustment::identityTable());
}

TEST(ParameterLookupTables, CacheGivesConsistentTablesUnderConcurrentDevelopments) {
    // Many threads ask for overlapping settings at once; each must get what a lone caller gets.
    auto settingOf = [](int k) {
        ToneTableValues v;
        v.exposure = 3 * (k % 17) - 20;
        v.contrast = 5 * (k % 7) - 10;
        v.curvePoints[2][2] = 40 + (k % 5);
        v.temperature = 900 + k; // a range no other test uses, so the entries are built here
        return v;
    };
    constexpr int kThreads = 8, kSettings = 40;
    std::vector<std::vector<ParameterLookupTables>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                for (int k = 0; k < kSettings; ++k) {
                    const int setting = (k + t * 7) % kSettings;
                    seen[t].push_back(*ParameterAdjustment::lookupTables(settingOf(setting)));
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < seen[t].size(); ++i) {
            const int setting = (static_cast<int>(i % kSettings) + t * 7) % kSettings;
            EXPECT_EQ(seen[t][i], *ParameterAdjustment::lookupTables(settingOf(setting)));
        }
    }
}

} // namespace
} // namespace sorvin
