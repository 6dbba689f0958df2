#include "panel/parameter_panel_vertical_metrics.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(ParameterPanelVerticalMetricsTest, OfferedHeightsLayOutWithinTheLimits) {
    struct Row {
        double offered;
        double height;
        double spacingScale;
        double track;
    };
    const Row rows[] = {
        {100, 160, 0.65, 24}, {160, 160, 0.65, 24}, {174, 174, 1, 24},
        {170, 170, 0.9, 24},  {300, 300, 1, 150},   {600, 460, 1, 310},
    };
    for (const Row& row : rows) {
        const auto metrics = ParameterPanelVerticalMetrics::make(row.offered);
        EXPECT_DOUBLE_EQ(metrics.panelHeight, row.height) << row.offered;
        EXPECT_DOUBLE_EQ(metrics.spacingScale, row.spacingScale) << row.offered;
        EXPECT_DOUBLE_EQ(metrics.trackHeight, row.track) << row.offered;
    }
}

TEST(ParameterPanelVerticalMetricsTest, RowsFillThePanelExactly) {
    for (double offered : {160.0, 165.0, 174.0, 250.0, 460.0}) {
        const auto m = ParameterPanelVerticalMetrics::make(offered);
        const double bottom = m.slotRowTop() + m.slotRowHeight() + m.gap();
        EXPECT_NEAR(bottom, m.panelHeight, 1e-9) << offered;
        // A column of the slot row is exactly as high as the row.
        EXPECT_NEAR(m.columnHeight(), m.slotRowHeight(), 1e-9) << offered;
    }
    const auto full = ParameterPanelVerticalMetrics::make(300);
    EXPECT_DOUBLE_EQ(full.tabRowTop(), 38);
    EXPECT_DOUBLE_EQ(full.slotRowTop(), 68);
    EXPECT_DOUBLE_EQ(full.columnHeight(), 74 + 150);
}

TEST(ParameterPanelVerticalMetricsTest, LowPanelShrinksTheColumnGaps) {
    const auto m = ParameterPanelVerticalMetrics::make(160);
    EXPECT_NEAR(m.sliderTop(), 18 + 1.3, 1e-9);
    EXPECT_NEAR(m.bottomKeyCapTop(), 18 + 1.3 + 24 + 1.3, 1e-9);
    EXPECT_NEAR(m.valueTop(), 18 + 1.3 + 24 + 1.3 + 18 + 2.6, 1e-9);
    EXPECT_NEAR(m.columnHeight(), 71.2 + 24, 1e-9);
}

TEST(ParameterPanelVerticalMetricsTest, CurveGraphStandsLevelWithTheTracks) {
    const auto tall = ParameterPanelVerticalMetrics::make(600);
    EXPECT_DOUBLE_EQ(tall.curveGraphSide(), 160);
    EXPECT_DOUBLE_EQ(tall.curveGraphTop(), 88);
    EXPECT_DOUBLE_EQ(tall.curveGraphTop(), tall.slotRowTop() + tall.sliderTop());
    const auto low = ParameterPanelVerticalMetrics::make(160);
    EXPECT_DOUBLE_EQ(low.curveGraphSide(), 24);
    EXPECT_NEAR(low.curveGraphTop(), low.slotRowTop() + low.sliderTop(), 1e-9);
}

TEST(ParameterPanelVerticalMetricsTest, NarrowPanelScrollsItsSlotRow) {
    EXPECT_TRUE(ParameterPanelVerticalMetrics::slotRowScrolls(663));
    EXPECT_FALSE(ParameterPanelVerticalMetrics::slotRowScrolls(664));
}

} // namespace
} // namespace sorvin
