#include "engine/point_tone_curve.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace sorvin {
namespace {

bool nonDecreasing(const std::array<std::uint8_t, 256>& table) {
    return std::is_sorted(table.begin(), table.end());
}

TEST(PointToneCurve, DefaultPointsAreTheIdentity) {
    const PointToneCurve curve = PointToneCurve::fromValues({0, 25, 50, 75, 100});
    EXPECT_TRUE(curve.isIdentity);
    EXPECT_EQ(curve.values, (std::array<double, 5>{0, 0.25, 0.5, 0.75, 1}));
    EXPECT_EQ(curve.slopes, (std::array<double, 5>{1, 1, 1, 1, 1}));
    const auto table = curve.byteTable(false);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(table[i], i);
}

TEST(PointToneCurve, ControlPointsAreHitExactly) {
    const PointToneCurve curve = PointToneCurve::fromValues({10, 40, 45, 90, 95});
    EXPECT_DOUBLE_EQ(curve(0.25), 0.40);
    EXPECT_DOUBLE_EQ(curve(0.5), 0.45);
    EXPECT_DOUBLE_EQ(curve(0.75), 0.90);
    EXPECT_DOUBLE_EQ(curve(-1), 0.10);
    EXPECT_DOUBLE_EQ(curve(0), 0.10);
    EXPECT_DOUBLE_EQ(curve(1), 0.95);
    EXPECT_DOUBLE_EQ(curve(3), 0.95);
}

TEST(PointToneCurve, FlatEndsForceZeroSlopesAndStayInRange) {
    const PointToneCurve curve = PointToneCurve::fromValues({0, 0, 100, 100, 100});
    EXPECT_FALSE(curve.isIdentity);
    EXPECT_EQ(curve.slopes[0], 0);
    EXPECT_EQ(curve.slopes[1], 0);
    EXPECT_EQ(curve.slopes[2], 0);
    EXPECT_EQ(curve.slopes[3], 0);
    EXPECT_EQ(curve.slopes[4], 0);
    double previous = 0;
    for (int i = 0; i <= 1000; ++i) {
        const double v = curve(i / 1000.0);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 1);
        EXPECT_GE(v, previous - 1e-12);
        previous = v;
    }
    EXPECT_TRUE(nonDecreasing(curve.byteTable(false)));
}

TEST(PointToneCurve, SteepRiseIsLimitedToKeepTheCurveMonotone) {
    // Without limiting, the slopes around the jump overshoot above the last control point.
    const PointToneCurve curve = PointToneCurve::fromValues({0, 0, 5, 100, 100});
    for (int k = 0; k < 4; ++k) {
        const double d = (curve.values[k + 1] - curve.values[k]) * 4;
        if (d == 0) continue;
        const double a = curve.slopes[k] / d;
        const double b = curve.slopes[k + 1] / d;
        EXPECT_LE(a * a + b * b, 9 + 1e-9) << "interval " << k;
    }
    for (int i = 0; i <= 1000; ++i) {
        const double v = curve(i / 1000.0);
        EXPECT_GE(v, -1e-12);
        EXPECT_LE(v, 1 + 1e-12);
    }
    EXPECT_TRUE(nonDecreasing(curve.byteTable(false)));
}

TEST(PointToneCurve, LocalExtremaGetZeroSlopeAndMonotonisingRemovesTheDip) {
    const PointToneCurve curve = PointToneCurve::fromValues({0, 50, 20, 80, 100});
    EXPECT_EQ(curve.slopes[1], 0);
    EXPECT_EQ(curve.slopes[2], 0);
    // Each segment stays within its end values.
    for (int i = 0; i <= 100; ++i) {
        const double v = curve(0.25 + 0.25 * i / 100.0);
        EXPECT_LE(v, 0.5 + 1e-12);
        EXPECT_GE(v, 0.2 - 1e-12);
    }
    const auto raw = curve.byteTable(false);
    EXPECT_FALSE(nonDecreasing(raw));
    EXPECT_EQ(*std::max_element(raw.begin(), raw.begin() + 128),
              127); // the peak of 0.5 falls between entries
    // Monotonising holds the running maximum through the dip.
    const auto monotone = curve.byteTable(true);
    std::uint8_t runningMax = 0;
    for (int i = 0; i < 256; ++i) {
        runningMax = std::max(runningMax, raw[i]);
        EXPECT_EQ(monotone[i], runningMax) << i;
    }
    EXPECT_EQ(monotone[255], 255);
}

TEST(PointToneCurve, OutOfRangeValuesAreClampedButNotTheIdentity) {
    const PointToneCurve curve = PointToneCurve::fromValues({-5, 25, 50, 75, 120});
    EXPECT_FALSE(curve.isIdentity);
    EXPECT_EQ(curve.values, (std::array<double, 5>{0, 0.25, 0.5, 0.75, 1}));
    EXPECT_DOUBLE_EQ(curve(0.3), 0.3);
}

TEST(PointToneCurve, EachChannelReadsItsOwnFivePoints) {
    PhotoParameters parameters;
    parameters.setValue(40, PhotoParameter::curve_point_red_1);
    parameters.setValue(90, PhotoParameter::curve_point_blue_4);
    EXPECT_TRUE(PointToneCurve::fromParameters(parameters, PointCurveChannel::rgb).isIdentity);
    EXPECT_TRUE(PointToneCurve::fromParameters(parameters, PointCurveChannel::green).isIdentity);
    EXPECT_EQ(PointToneCurve::fromParameters(parameters, PointCurveChannel::red),
              PointToneCurve::fromValues({0, 40, 50, 75, 100}));
    EXPECT_EQ(PointToneCurve::fromParameters(parameters, PointCurveChannel::blue).values[4], 0.9);
}

TEST(PointToneCurve, MonotonizeRaisesDipsAndLeavesShortArraysAlone) {
    std::vector<std::uint8_t> values{5, 3, 7, 6, 6, 9, 1};
    PointToneCurve::monotonize(values);
    EXPECT_EQ(values, (std::vector<std::uint8_t>{5, 5, 7, 7, 7, 9, 9}));
    std::vector<std::uint8_t> one{4};
    PointToneCurve::monotonize(one);
    EXPECT_EQ(one, std::vector<std::uint8_t>{4});
    std::vector<std::uint8_t> none;
    PointToneCurve::monotonize(none);
    EXPECT_TRUE(none.empty());
}

} // namespace
} // namespace sorvin
