#include "engine/parameter_adjustment.hpp"
#include "panel/tone_curve_graph_model.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using Channel = PointCurveChannel;

TEST(ToneCurveGraphModelTest, NoPhotoGivesNoModel) {
    EXPECT_FALSE(ToneCurveGraphModel::make(std::nullopt, Channel::rgb));
}

TEST(ToneCurveGraphModelTest, DefaultsDrawTheIdentity) {
    const auto model = ToneCurveGraphModel::make(PhotoParameters(), Channel::green);
    ASSERT_TRUE(model);
    const ByteTable& identity = ParameterAdjustment::identityTable();
    EXPECT_EQ(model->finalRed, identity);
    EXPECT_EQ(model->finalBlue, identity);
    EXPECT_EQ(model->selectedCurve, identity);
    EXPECT_EQ(model->selectedValues, (std::array<int, 5>{0, 25, 50, 75, 100}));
    const auto markers = model->markerCanvasPoints();
    const Point expected[] = {{4, 163}, {44, 123.5}, {84, 84}, {124, 44.5}, {164, 5}};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(markers[k].x, expected[k].x);
        EXPECT_DOUBLE_EQ(markers[k].y, expected[k].y);
    }
}

TEST(ToneCurveGraphModelTest, TablePathKeepsHalfTheLineInside) {
    const std::array<std::uint8_t, 3> table{0, 255, 128};
    const auto thin = ToneCurveGraphModel::tablePath(table, 1);
    ASSERT_EQ(thin.size(), 3u);
    EXPECT_DOUBLE_EQ(thin[0].y, 159.5);
    EXPECT_DOUBLE_EQ(thin[1].y, 0.5);
    EXPECT_DOUBLE_EQ(thin[1].x, 160.0 / 255);
    const auto wide = ToneCurveGraphModel::tablePath(table, 2);
    EXPECT_DOUBLE_EQ(wide[0].y, 159);
    EXPECT_DOUBLE_EQ(wide[1].y, 1);
    EXPECT_TRUE(ToneCurveGraphModel::tablePath({}, 1).empty());
    const std::vector<std::uint8_t> longTable(300, 7);
    const auto capped = ToneCurveGraphModel::tablePath(longTable, 1);
    ASSERT_EQ(capped.size(), 256u);
    EXPECT_DOUBLE_EQ(capped.back().x, 160);
}

TEST(ToneCurveGraphModelTest, SelectedCurveKeepsItsDip) {
    PhotoParameters parameters;
    const int values[] = {0, 60, 40, 75, 100};
    for (int k = 0; k < 5; ++k)
        parameters.setValue(values[k], ParameterCatalog::curvePoint(Channel::red, k));
    const auto model = ToneCurveGraphModel::make(parameters, Channel::red);
    ASSERT_TRUE(model);
    EXPECT_GT(model->selectedCurve[64], model->selectedCurve[128]);
    // The final tables are forced non-decreasing.
    EXPECT_LE(model->finalRed[64], model->finalRed[128]);
    EXPECT_EQ(model->selectedValues, (std::array<int, 5>{0, 60, 40, 75, 100}));
    // Other channels' models see only their own points.
    EXPECT_EQ(ToneCurveGraphModel::make(parameters, Channel::blue)->selectedValues,
              (std::array<int, 5>{0, 25, 50, 75, 100}));
}

TEST(ToneCurveGraphModelTest, ValuesTheGraphDoesNotShowLeaveTheModelEqual) {
    PhotoParameters a;
    a.setValue(30, PhotoParameter::exposure);
    PhotoParameters b = a;
    b.setValue(40, PhotoParameter::saturation);
    b.setValue(20, PhotoParameter::vignette_amount);
    EXPECT_EQ(ToneCurveGraphModel::make(a, Channel::rgb), ToneCurveGraphModel::make(b, Channel::rgb));
    EXPECT_NE(ToneCurveGraphModel::make(a, Channel::rgb),
              ToneCurveGraphModel::make(PhotoParameters(), Channel::rgb));
    EXPECT_NE(ToneCurveGraphModel::make(a, Channel::rgb), ToneCurveGraphModel::make(a, Channel::red));
}

} // namespace
} // namespace sorvin
