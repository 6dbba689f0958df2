#include "panel/vertical_parameter_slider_geometry.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(VerticalParameterSliderGeometryTest, ValueAndDefaultPositions) {
    struct Row {
        int value;
        int defaultValue;
        double valueY;
        double defaultY;
    };
    // Range -100 ... 100 on a 214 pt track: 200 usable points, 1 pt a step.
    const Row rows[] = {
        {0, 0, 107, 107},    {100, 0, 7, 107}, {-100, 0, 207, 107}, {250, 0, 7, 107},
        {-250, 0, 207, 107}, {50, 300, 57, 7}, {50, -300, 57, 207},
    };
    for (const Row& row : rows) {
        const auto g = VerticalParameterSliderGeometry::make(row.value, -100, 100, row.defaultValue, 214);
        EXPECT_DOUBLE_EQ(g.valueY, row.valueY) << row.value;
        EXPECT_DOUBLE_EQ(g.defaultY, row.defaultY) << row.value;
    }
}

TEST(VerticalParameterSliderGeometryTest, BarRunsFromTheDefaultToTheThumb) {
    const auto up = VerticalParameterSliderGeometry::make(40, -100, 100, 0, 214);
    ASSERT_TRUE(up.barTop);
    EXPECT_DOUBLE_EQ(*up.barTop, 67);
    EXPECT_DOUBLE_EQ(up.barHeight, 40);
    const auto down = VerticalParameterSliderGeometry::make(-40, -100, 100, 0, 214);
    ASSERT_TRUE(down.barTop);
    EXPECT_DOUBLE_EQ(*down.barTop, 107);
    // Equal values draw no bar; clamped values that only look alike still do.
    EXPECT_FALSE(VerticalParameterSliderGeometry::make(0, -100, 100, 0, 214).barTop);
    const auto clamped = VerticalParameterSliderGeometry::make(150, -100, 100, 120, 214);
    ASSERT_TRUE(clamped.barTop);
    EXPECT_DOUBLE_EQ(clamped.barHeight, 0);
}

TEST(VerticalParameterSliderGeometryTest, ShortTrackPutsEverythingAtOnePlace) {
    for (double track : {14.0, 10.0}) {
        const auto g = VerticalParameterSliderGeometry::make(80, -100, 100, 0, track);
        EXPECT_DOUBLE_EQ(g.valueY, track - 7);
        EXPECT_DOUBLE_EQ(g.defaultY, track - 7);
        EXPECT_DOUBLE_EQ(g.barHeight, 0);
    }
}

} // namespace
} // namespace sorvin
