#include "model/parameter_panel_pages.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;
using L = ParameterLetterPage;
using T = ParameterEditTarget;
using Columns = std::vector<std::optional<PhotoParameter>>;

const std::vector<L> eightPages = {L::basic,   L::hue,     L::saturation,    L::luminance,
                                   L::grading, L::effects, L::blackAndWhite, L::detail};

std::vector<L> plus(L page) {
    auto pages = eightPages;
    pages.push_back(page);
    return pages;
}

TEST(ParameterPanelPagesTest, VisibleLetterPages) {
    EXPECT_EQ(ParameterPanelPages::visibleLetterPages(T::global(), true), plus(L::rawDevelopment));
    EXPECT_EQ(ParameterPanelPages::visibleLetterPages(T::global(), false), eightPages);
    EXPECT_EQ(ParameterPanelPages::visibleLetterPages(T::mask(0), true), plus(L::shape));
    EXPECT_EQ(ParameterPanelPages::visibleLetterPages(T::mask(2), false), plus(L::shape));
}

Columns columnsOf(ParameterPage page, T target, std::optional<MaskKind> kind = std::nullopt,
                  bool isRaw = true, RawDevelopmentSupport support = {}) {
    return ParameterPanelPages::parameters(page, target, kind, isRaw, support);
}

TEST(ParameterPanelPagesTest, ShapePageFollowsTheMaskKind) {
    const auto shape = ParameterPage::letter(L::shape);
    EXPECT_EQ(columnsOf(shape, T::mask(1), MaskKind::linear()),
              (Columns{P::linear_mask_amount, P::linear_mask_position, P::linear_mask_angle,
                       P::linear_mask_width, P::linear_mask_invert, std::nullopt, std::nullopt, std::nullopt,
                       std::nullopt, std::nullopt}));
    const Columns circular = columnsOf(shape, T::mask(0), MaskKind::circular());
    ASSERT_EQ(circular.size(), 10u);
    EXPECT_EQ(circular[7], P::circular_mask_invert);
    EXPECT_EQ(circular[8], std::nullopt);
    EXPECT_TRUE(columnsOf(shape, T::global(), MaskKind::circular()).empty());
    EXPECT_TRUE(columnsOf(shape, T::mask(0)).empty());
    EXPECT_TRUE(columnsOf(shape, T::mask(0), MaskKind{"spiral"}).empty());
}

TEST(ParameterPanelPagesTest, RawAndGeometryPagesOnlyForTheGlobalTarget) {
    const auto raw = ParameterPage::letter(L::rawDevelopment);
    EXPECT_TRUE(columnsOf(raw, T::mask(0), MaskKind::circular()).empty());
    EXPECT_TRUE(columnsOf(raw, T::global(), std::nullopt, false).empty());
    const Columns all = columnsOf(raw, T::global());
    ASSERT_EQ(all.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(all[i], ParameterCatalog::rawDevelopmentParameters()[i]);

    const auto geometry = ParameterPage::letter(L::geometry);
    const Columns global = columnsOf(geometry, T::global(), std::nullopt, false);
    ASSERT_EQ(global.size(), 10u);
    EXPECT_EQ(global[0], P::geometry_distortion);
    EXPECT_EQ(global[6], P::geometry_zoom);
    EXPECT_EQ(global[7], std::nullopt);
    EXPECT_TRUE(columnsOf(geometry, T::mask(0), MaskKind::circular()).empty());
}

TEST(ParameterPanelPagesTest, UnsupportedRawControlsLeaveTheirColumnsEmpty) {
    RawDevelopmentSupport support;
    support.sharpness = false;
    support.lensCorrection = false;
    support.contrast = false; // has no column
    const Columns columns =
        columnsOf(ParameterPage::letter(L::rawDevelopment), T::global(), std::nullopt, true, support);
    ASSERT_EQ(columns.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        if (i == 6 || i == 9) {
            EXPECT_EQ(columns[i], std::nullopt) << i;
        } else {
            EXPECT_EQ(columns[i], ParameterCatalog::rawDevelopmentParameters()[i]) << i;
        }
    }

    RawDevelopmentSupport none{false, false, false, false, false, false};
    const auto visible = none.visibleParameters();
    EXPECT_EQ(visible[4], P::raw_boost_shadow);
    EXPECT_EQ(visible[5], std::nullopt);
    EXPECT_EQ(visible[7], std::nullopt);
    EXPECT_EQ(visible[8], std::nullopt);
    EXPECT_NE(std::hash<RawDevelopmentSupport>{}(none), std::hash<RawDevelopmentSupport>{}(support));
}

TEST(ParameterPanelPagesTest, CurvePages) {
    EXPECT_EQ(columnsOf(ParameterPage::curve(PointCurveChannel::rgb), T::mask(0), MaskKind::circular()),
              (Columns{P::curve_gamma, P::curve_shadows, P::curve_darks, P::curve_lights, P::curve_highlights,
                       P::curve_point_rgb_0, P::curve_point_rgb_1, P::curve_point_rgb_2, P::curve_point_rgb_3,
                       P::curve_point_rgb_4}));
    EXPECT_EQ(columnsOf(ParameterPage::curve(PointCurveChannel::green), T::global()),
              (Columns{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                       P::curve_point_green_0, P::curve_point_green_1, P::curve_point_green_2,
                       P::curve_point_green_3, P::curve_point_green_4}));
}

TEST(ParameterPanelPagesTest, MasksShowTheSameAdjustmentPages) {
    for (L page : eightPages) {
        const Columns global = columnsOf(ParameterPage::letter(page), T::global());
        EXPECT_EQ(global.size(), 10u);
        EXPECT_EQ(columnsOf(ParameterPage::letter(page), T::mask(0), MaskKind::linear(), false), global);
    }
    const Columns effects = columnsOf(ParameterPage::letter(L::effects), T::global());
    EXPECT_EQ(effects[6], P::grain_roughness);
    EXPECT_EQ(effects[7], std::nullopt);
}

} // namespace
} // namespace sorvin
