#include "model/photo_parameter.hpp"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace sorvin {
namespace {

using P = PhotoParameter;
using C = ParameterCatalog;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

TEST(ParameterCatalogTest, HasEveryParameterOnceUnderItsStoredName) {
    ASSERT_EQ(C::allCases().size(), 125u);
    std::set<std::string_view> names;
    for (int i = 0; i < C::count; ++i) {
        const P p = C::allCases()[i];
        EXPECT_EQ(C::index(p), i);
        EXPECT_EQ(C::fromStoredName(C::storedName(p)), p);
        names.insert(C::storedName(p));
    }
    EXPECT_EQ(names.size(), 125u);
    EXPECT_EQ(C::storedName(P::white_level), "white_level");
    EXPECT_EQ(C::storedName(P::raw_lens_correction), "raw_lens_correction");
}

TEST(ParameterCatalogTest, StoredNamesMatchExactly) {
    EXPECT_EQ(C::fromStoredName("exposure"), P::exposure);
    EXPECT_EQ(C::fromStoredName("Exposure"), std::nullopt);
    EXPECT_EQ(C::fromStoredName("exposure "), std::nullopt);
    EXPECT_EQ(C::fromStoredName(""), std::nullopt);
    EXPECT_EQ(C::fromStoredName("C0.exposure"), std::nullopt);
}

// The range rule, stated from the parameters' names rather than read from the table.
TEST(ParameterCatalogTest, RangesFollowTheRangeRule) {
    const std::set<std::string_view> signedMaskParameters = {"circular_mask_aspect", "circular_mask_angle",
                                                             "linear_mask_angle"};
    for (P p : C::allCases()) {
        const std::string_view name = C::storedName(p);
        const bool startsAtZero = name == "grain_amount" || name == "grain_size" ||
                                  name == "grain_roughness" || name == "blackwhite_amount" ||
                                  startsWith(name, "sharpen_") || startsWith(name, "noise_") ||
                                  name == "geometry_zoom" || startsWith(name, "curve_point_") ||
                                  ((startsWith(name, "circular_mask_") || startsWith(name, "linear_mask_")) &&
                                   !signedMaskParameters.contains(name)) ||
                                  (p >= P::raw_boost && p <= P::raw_lens_correction);
        const bool isCenter = name == "circular_mask_center_x" || name == "circular_mask_center_y";
        EXPECT_EQ(C::minimum(p), startsAtZero ? 0 : -100) << name;
        EXPECT_EQ(C::maximum(p), isCenter ? 1000 : 100) << name;
        EXPECT_GE(C::defaultValue(p), C::minimum(p)) << name;
        EXPECT_LE(C::defaultValue(p), C::maximum(p)) << name;
    }
}

TEST(ParameterCatalogTest, OnlyTheseParametersHaveDefaultsOtherThanZero) {
    const std::map<P, int> nonZero = {
        {P::sharpen_radius, 30},
        {P::sharpen_detail, 25},
        {P::noise_luminance_detail, 50},
        {P::curve_point_rgb_1, 25},
        {P::curve_point_rgb_2, 50},
        {P::curve_point_rgb_3, 75},
        {P::curve_point_rgb_4, 100},
        {P::curve_point_red_1, 25},
        {P::curve_point_red_2, 50},
        {P::curve_point_red_3, 75},
        {P::curve_point_red_4, 100},
        {P::curve_point_green_1, 25},
        {P::curve_point_green_2, 50},
        {P::curve_point_green_3, 75},
        {P::curve_point_green_4, 100},
        {P::curve_point_blue_1, 25},
        {P::curve_point_blue_2, 50},
        {P::curve_point_blue_3, 75},
        {P::curve_point_blue_4, 100},
        {P::circular_mask_amount, 10},
        {P::circular_mask_center_x, 500},
        {P::circular_mask_center_y, 500},
        {P::circular_mask_size, 30},
        {P::circular_mask_feather, 50},
        {P::linear_mask_amount, 10},
        {P::linear_mask_position, 50},
        {P::linear_mask_width, 30},
        {P::raw_exposure, 38},
        {P::raw_boost, 100},
        {P::raw_boost_shadow, 90},
        {P::raw_sharpness, 100},
        {P::raw_noise_color, 50},
        {P::raw_lens_correction, 100},
    };
    for (P p : C::allCases()) {
        const auto found = nonZero.find(p);
        EXPECT_EQ(C::defaultValue(p), found == nonZero.end() ? 0 : found->second) << C::storedName(p);
    }
}

TEST(ParameterCatalogTest, DefaultMarkWhereTheDefaultLiesInsideTheRange) {
    const std::set<P> markedAtMinimum = {P::sharpen_amount, P::sharpen_mask, P::noise_luminance_amount,
                                         P::noise_color_amount};
    for (P p : C::allCases()) {
        const bool inside = C::minimum(p) < C::defaultValue(p) && C::defaultValue(p) < C::maximum(p);
        EXPECT_EQ(C::showsDefaultMark(p), inside || markedAtMinimum.contains(p)) << C::storedName(p);
    }
    EXPECT_FALSE(C::showsDefaultMark(P::grain_amount));
    EXPECT_FALSE(C::showsDefaultMark(P::raw_boost));
    EXPECT_TRUE(C::showsDefaultMark(P::raw_exposure));
}

TEST(ParameterCatalogTest, DisplayTexts) {
    struct Row {
        P parameter;
        std::int64_t value;
        std::string text;
    };
    const Row rows[] = {
        {P::exposure, 0, "±0.00 EV"},
        {P::exposure, 1, "+0.05 EV"},
        {P::exposure, 7, "+0.35 EV"},
        {P::exposure, -100, "-5.00 EV"},
        {P::exposure, 250, "+5.00 EV"},
        {P::raw_exposure, 38, "+0.76 EV"},
        {P::raw_exposure, 0, "±0.00 EV"},
        {P::raw_exposure, -1, "-0.02 EV"},
        {P::contrast, 0, "±0"},
        {P::contrast, 7, "+7"},
        {P::contrast, -3, "-3"},
        {P::circular_mask_center_x, 500, "50.0"},
        {P::circular_mask_center_x, 1234, "100.0"},
        {P::circular_mask_center_y, 0, "0.0"},
        {P::circular_mask_center_y, 5, "0.5"},
        {P::grain_amount, -5, "±0"},
        {P::raw_boost, 100, "+100"},
        {P::temperature, INT64_MIN, "-100"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(C::displayText(row.parameter, row.value), row.text)
            << C::storedName(row.parameter) << " " << row.value;
    }
}

TEST(ParameterCatalogTest, CurvePointNamesAreChannelWordAndPosition) {
    const char* words[] = {"RGB", "赤", "緑", "青"};
    const char* positions[] = {"0", "25", "50", "75", "100"};
    for (int channel = 0; channel < 4; ++channel) {
        for (int k = 0; k < 5; ++k) {
            const P p = static_cast<P>(C::index(P::curve_point_rgb_0) + channel * 5 + k);
            EXPECT_EQ(C::curvePoint(static_cast<PointCurveChannel>(channel), k), p);
            EXPECT_EQ(std::string(C::name(p)), std::string(words[channel]) + " " + positions[k] + "%");
            EXPECT_EQ(C::page(p), ParameterPage::curve(static_cast<PointCurveChannel>(channel)));
            EXPECT_EQ(C::slot(p), 5 + k);
        }
    }
    EXPECT_EQ(C::curvePoints().size(), 20u);
    EXPECT_EQ(C::curvePoints().front(), P::curve_point_rgb_0);
    EXPECT_EQ(C::curvePoints().back(), P::curve_point_blue_4);
    EXPECT_EQ(C::name(P::exposure), "明るさ");
    EXPECT_EQ(C::name(P::geometry_chromatic_red), "色収差 赤／シアン");
}

TEST(ParameterCatalogTest, PagesAndSlots) {
    EXPECT_EQ(C::page(P::curve_point_blue_3), ParameterPage::curve(PointCurveChannel::blue));
    EXPECT_EQ(C::slot(P::curve_point_blue_3), 8);
    EXPECT_EQ(C::slot(P::linear_mask_width), 3);
    EXPECT_EQ(C::page(P::linear_mask_width), ParameterPage::letter(ParameterLetterPage::shape));
    EXPECT_EQ(C::page(P::curve_gamma), ParameterPage::curve(PointCurveChannel::rgb));
    EXPECT_EQ(C::slot(P::curve_gamma), 0);
    EXPECT_EQ(C::slot(P::curve_highlights), 4);
    EXPECT_EQ(C::page(P::geometry_zoom), ParameterPage::letter(ParameterLetterPage::geometry));
    EXPECT_EQ(C::slot(P::raw_lens_correction), 9);

    // Every parameter of a letter page sits in its own column of the layout (the linear mask's
    // shape has a page of its own kind).
    for (P p : C::allCases()) {
        const auto letter = C::page(p).letterPage();
        if (!letter || (*letter == ParameterLetterPage::shape && p >= P::linear_mask_amount)) continue;
        EXPECT_EQ(C::tabs()[static_cast<int>(*letter)][C::slot(p)], p) << C::storedName(p);
    }
}

TEST(ParameterCatalogTest, LayoutRowsHaveTheirColumnsFilledFromTheLeft) {
    const int filled[12] = {10, 8, 8, 8, 10, 7, 9, 10, 8, 10, 0, 7};
    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 10; ++column) {
            EXPECT_EQ(C::tabs()[row][column].has_value(), column < filled[row]) << row << "/" << column;
        }
    }
    EXPECT_EQ(C::tabs()[8][0], P::circular_mask_amount);
    EXPECT_EQ(C::tabs()[8][7], P::circular_mask_invert);
}

TEST(ParameterCatalogTest, Groups) {
    const auto adjustment = C::adjustmentParameters();
    ASSERT_EQ(adjustment.size(), 95u);
    EXPECT_EQ(adjustment[74], P::noise_color_amount);
    EXPECT_EQ(adjustment[75], P::curve_point_rgb_0);
    EXPECT_EQ(adjustment.back(), P::curve_point_blue_4);
    for (P p : adjustment) {
        const std::string_view name = C::storedName(p);
        EXPECT_FALSE(startsWith(name, "raw_") || startsWith(name, "geometry_") || C::isMaskShapeParameter(p))
            << name;
        EXPECT_TRUE(C::isAdjustmentParameter(p));
    }

    const auto shape = C::shapeParameters();
    ASSERT_EQ(shape.size(), 13u);
    EXPECT_EQ(shape.front(), P::circular_mask_amount);
    EXPECT_EQ(shape[8], P::linear_mask_amount);
    EXPECT_EQ(shape.back(), P::linear_mask_invert);

    int raw = 0, geometry = 0;
    for (P p : C::allCases()) {
        raw += C::isRawDevelopmentParameter(p);
        geometry += C::isGeometryParameter(p);
        EXPECT_EQ(C::isRawDevelopmentParameter(p), startsWith(C::storedName(p), "raw_"));
        EXPECT_EQ(C::isGeometryParameter(p), startsWith(C::storedName(p), "geometry_"));
    }
    EXPECT_EQ(raw, 10);
    EXPECT_EQ(geometry, 7);
}

TEST(ParameterCatalogTest, ClampAcceptsAnyInteger) {
    EXPECT_EQ(C::clamp(P::exposure, INT64_MAX), 100);
    EXPECT_EQ(C::clamp(P::exposure, INT64_MIN), -100);
    EXPECT_EQ(C::clamp(P::circular_mask_center_x, 1200), 1000);
    EXPECT_EQ(C::clamp(P::grain_amount, -5), 0);
}

TEST(ParameterPageTest, LetterPagesByRawValue) {
    EXPECT_EQ(ParameterLetterPages::fromRawValue(11), ParameterLetterPage::geometry);
    EXPECT_EQ(ParameterLetterPages::fromRawValue(8), ParameterLetterPage::shape);
    EXPECT_EQ(ParameterLetterPages::fromRawValue(10), std::nullopt);
    EXPECT_EQ(ParameterLetterPages::fromRawValue(-1), std::nullopt);
    EXPECT_EQ(ParameterLetterPages::fromRawValue(12), std::nullopt);
    EXPECT_EQ(ParameterLetterPages::displayName(ParameterLetterPage::geometry), "補正");
    EXPECT_EQ(ParameterLetterPages::displayName(ParameterLetterPage::rawDevelopment), "RAW現像");
    EXPECT_EQ(ParameterLetterPages::displayName(ParameterLetterPage::blackAndWhite), "白黒");
    EXPECT_EQ(pointCurveChannel(3), PointCurveChannel::blue);
    EXPECT_EQ(pointCurveChannel(4), std::nullopt);
}

TEST(ParameterPageTest, StoredValues) {
    using L = ParameterLetterPage;
    const std::pair<long long, ParameterPage> rows[] = {
        {8, ParameterPage::letter(L::shape)},
        {10, ParameterPage::letter(L::basic)},
        {11, ParameterPage::letter(L::geometry)},
        {22, ParameterPage::curve(PointCurveChannel::green)},
        {20, ParameterPage::curve(PointCurveChannel::rgb)},
        {24, ParameterPage::letter(L::basic)},
        {-3, ParameterPage::letter(L::basic)},
        {19, ParameterPage::letter(L::basic)},
        {1LL << 40, ParameterPage::letter(L::basic)},
    };
    for (const auto& [stored, page] : rows)
        EXPECT_EQ(ParameterPage::fromStoredValue(stored), page) << stored;
    EXPECT_EQ(ParameterPage::curve(PointCurveChannel::blue).storedValue(), 23);
    EXPECT_EQ(ParameterPage::letter(L::geometry).storedValue(), 11);
    EXPECT_NE(ParameterPage::letter(L::basic), ParameterPage::curve(PointCurveChannel::rgb));
}

} // namespace
} // namespace sorvin
