#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>
#include <unordered_set>

namespace sorvin {
namespace {

using P = PhotoParameter;
using T = ParameterEditTarget;
const MaskKind circular = MaskKind::circular();
const MaskKind linear = MaskKind::linear();

TEST(PhotoParametersTest, WritingTheDefaultLeavesNoTrace) {
    PhotoParameters edited;
    edited.setValue(40, P::exposure);
    EXPECT_EQ(edited[P::exposure], 40);
    EXPECT_NE(edited, PhotoParameters::zero());
    edited.setValue(0, P::exposure);
    EXPECT_EQ(edited, PhotoParameters::zero());
    EXPECT_EQ(edited.hash(), PhotoParameters::zero().hash());
    EXPECT_TRUE(edited.values.isEmpty());
}

TEST(PhotoParametersTest, GlobalWritesClampIntoTheRange) {
    PhotoParameters parameters;
    parameters.setValue(1200, P::circular_mask_center_x);
    EXPECT_EQ(parameters[P::circular_mask_center_x], 1000);
    parameters.setValue(-5, P::grain_amount);
    EXPECT_TRUE(parameters.values.isDefault(P::grain_amount));
    parameters.setValue(INT64_MIN, P::raw_exposure);
    EXPECT_EQ(parameters[P::raw_exposure], -100);
    parameters.setValue(250, P::geometry_zoom);
    EXPECT_EQ(parameters[P::geometry_zoom], 100);
    EXPECT_EQ(parameters[P::sharpen_radius], 30); // unset reads the default
    const auto entries = parameters.values.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], std::make_pair(P::geometry_zoom, 100));
}

TEST(PhotoParametersTest, EditTargetsRouteWrites) {
    PhotoParameters parameters({circular, linear});
    parameters.setValue(20, P::raw_exposure, T::mask(0));
    EXPECT_EQ(parameters[P::raw_exposure], 20);
    EXPECT_TRUE(parameters.masks[0].storedValues.isEmpty());
    parameters.setValue(10, P::geometry_zoom);
    EXPECT_EQ(parameters.value(P::geometry_zoom, T::mask(0)), 10);

    parameters.setValue(55, P::exposure, T::mask(1));
    EXPECT_EQ(parameters.value(P::exposure, T::mask(1)), 55);
    EXPECT_EQ(parameters.value(P::exposure, T::global()), 0);
    EXPECT_EQ(parameters.value(P::exposure, T::mask(0)), 0);

    const PhotoParameters before = parameters;
    parameters.setValue(30, P::exposure, T::mask(7));
    parameters.setValue(30, P::exposure, T::mask(-1));
    EXPECT_EQ(parameters, before);
    EXPECT_EQ(parameters.value(P::sharpen_detail, T::mask(7)), 25);

    // A shape parameter of the other kind has no place in the mask.
    parameters.setValue(80, P::linear_mask_width, T::mask(0));
    EXPECT_EQ(parameters, before);
    EXPECT_EQ(parameters.value(P::linear_mask_width, T::mask(0)), 30);
    parameters.setValue(80, P::circular_mask_size, T::mask(0));
    EXPECT_EQ(parameters.value(P::circular_mask_size, T::mask(0)), 80);
    EXPECT_EQ(parameters[P::circular_mask_size], 30);
}

TEST(PhotoParametersTest, MaskOfAnUnknownKindCarriesNothing) {
    PhotoParameters parameters({MaskKind{"spiral"}, circular});
    ASSERT_EQ(parameters.masks.size(), 2u);
    parameters.setValue(50, P::exposure, T::mask(0));
    EXPECT_TRUE(parameters.masks[0].storedValues.isEmpty());
    EXPECT_EQ(parameters.value(P::exposure, T::mask(0)), 0);
    EXPECT_FALSE(parameters.masks[0].isActive());
    EXPECT_EQ(parameters.pipelineParameters(T::mask(0)), PhotoParameters::zero());
    EXPECT_EQ(parameters.maskDisplayName(0), std::nullopt);
    EXPECT_EQ(parameters.maskDisplayName(1), "円形1");
}

TEST(PhotoParametersTest, AtMostFourMasks) {
    EXPECT_EQ(PhotoParameters({circular, linear, circular, linear, circular}).masks.size(), 4u);
    PhotoParameters parameters({circular, linear, circular});
    EXPECT_EQ(parameters.appendMask(linear), 3);
    EXPECT_EQ(parameters.appendMask(circular), std::nullopt);
    EXPECT_EQ(parameters.masks.size(), 4u);
    PhotoParameters empty;
    EXPECT_EQ(empty.appendMask(MaskKind{"spiral"}), std::nullopt);
    EXPECT_EQ(empty.appendMask(linear), 0);
    EXPECT_EQ(empty.maskKinds(), std::vector<MaskKind>{linear});
}

TEST(PhotoParametersTest, SynchronizingMaskKindsKeepsOnlyMatchingPositions) {
    PhotoParameters parameters({circular, linear});
    parameters.setValue(10, P::exposure);
    parameters.setValue(40, P::exposure, T::mask(0));
    parameters.setValue(-40, P::contrast, T::mask(1));

    PhotoParameters swapped = parameters;
    swapped.synchronizeMaskKinds({linear, circular});
    EXPECT_EQ(swapped.maskKinds(), (std::vector<MaskKind>{linear, circular}));
    EXPECT_TRUE(swapped.masks[0].storedValues.isEmpty());
    EXPECT_TRUE(swapped.masks[1].storedValues.isEmpty());
    EXPECT_EQ(swapped[P::exposure], 10);

    PhotoParameters shortened = parameters;
    shortened.synchronizeMaskKinds({circular});
    ASSERT_EQ(shortened.masks.size(), 1u);
    EXPECT_EQ(shortened.value(P::exposure, T::mask(0)), 40);

    PhotoParameters longer = parameters;
    longer.synchronizeMaskKinds({circular, linear, linear, circular, circular});
    EXPECT_EQ(longer.maskKinds(), (std::vector<MaskKind>{circular, linear, linear, circular}));
    EXPECT_EQ(longer.value(P::contrast, T::mask(1)), -40);
}

TEST(PhotoParametersTest, SanitizingRemovesOnlyRawDevelopmentValues) {
    PhotoParameters parameters({circular});
    parameters.setValue(20, P::raw_exposure);
    parameters.setValue(0, P::raw_boost);
    parameters.setValue(10, P::exposure);
    parameters.setValue(5, P::geometry_distortion);
    parameters.setValue(60, P::exposure, T::mask(0));

    EXPECT_EQ(parameters.sanitized(true), parameters);
    const PhotoParameters clean = parameters.sanitized(false);
    EXPECT_EQ(clean[P::raw_exposure], 38);
    EXPECT_EQ(clean[P::raw_boost], 100);
    EXPECT_EQ(clean[P::exposure], 10);
    EXPECT_EQ(clean[P::geometry_distortion], 5);
    EXPECT_EQ(clean.masks, parameters.masks);
}

TEST(PhotoParametersTest, GlobalPassSeesOnlyAdjustmentValues) {
    PhotoParameters parameters({circular});
    parameters.setValue(30, P::geometry_distortion);
    parameters.setValue(5, P::raw_tint);
    parameters.setValue(70, P::circular_mask_size);
    parameters.setValue(12, P::clarity);
    parameters.setValue(90, P::curve_point_red_4);
    parameters.setValue(40, P::exposure, T::mask(0));

    PhotoParameters expected;
    expected.setValue(12, P::clarity);
    expected.setValue(90, P::curve_point_red_4);
    EXPECT_EQ(parameters.pipelineParameters(T::global()), expected);
    EXPECT_EQ(parameters.pipelineParameters(T::mask(3)), PhotoParameters::zero());
}

TEST(PhotoParametersTest, MaskPassSeesTheMaskValuesAsGlobalValues) {
    PhotoParameters parameters({linear, circular});
    parameters.setValue(25, P::exposure);
    parameters.setValue(-30, P::contrast, T::mask(1));
    parameters.setValue(0, P::circular_mask_amount, T::mask(1));
    parameters.setValue(800, P::circular_mask_center_x, T::mask(1));

    const PhotoParameters flat = parameters.pipelineParameters(T::mask(1));
    EXPECT_TRUE(flat.masks.empty());
    EXPECT_EQ(flat[P::contrast], -30);
    EXPECT_EQ(flat[P::exposure], 0);
    EXPECT_EQ(flat[P::circular_mask_amount], 0);
    EXPECT_EQ(flat[P::circular_mask_center_x], 800);
    EXPECT_EQ(flat.values.entries().size(), 3u);
}

TEST(PhotoParametersTest, MaskIsActiveOnlyWithAmountAndAnAdjustment) {
    PhotoMask mask{circular, {}};
    EXPECT_FALSE(mask.isActive());
    mask.setValue(600, P::circular_mask_center_x);
    EXPECT_FALSE(mask.isActive()); // a moved centre alone does nothing
    mask.setValue(50, P::exposure);
    EXPECT_TRUE(mask.isActive());
    mask.setValue(0, P::circular_mask_amount);
    EXPECT_FALSE(mask.isActive());

    PhotoMask band{linear, {}};
    band.setValue(-100, P::curve_point_blue_4);
    EXPECT_TRUE(band.isActive());
}

TEST(PhotoParametersTest, StageTests) {
    PhotoParameters parameters;
    EXPECT_FALSE(parameters.usesDetailStage());
    EXPECT_FALSE(parameters.usesToneCurve());

    parameters.setValue(20, P::curve_gamma);
    parameters.setValue(80, P::sharpen_radius);
    parameters.setValue(90, P::noise_luminance_detail);
    EXPECT_FALSE(parameters.usesToneCurve());
    EXPECT_FALSE(parameters.usesDetailStage());

    PhotoParameters sharpened;
    sharpened.setValue(1, P::sharpen_amount);
    EXPECT_TRUE(sharpened.usesDetailStage());

    PhotoParameters regions;
    regions.setValue(-5, P::curve_darks);
    EXPECT_TRUE(regions.usesToneCurve());
    EXPECT_FALSE(regions.usesPointCurveStage());

    PhotoParameters points;
    points.setValue(0, P::curve_point_green_4);
    EXPECT_TRUE(points.usesPointCurveStage());
    EXPECT_TRUE(points.usesToneCurve());
}

TEST(PhotoParametersTest, LookupTableValuesKeepOnlyToneValues) {
    PhotoParameters first({circular});
    first.setValue(30, P::exposure);
    first.setValue(10, P::curve_gamma);
    first.setValue(60, P::curve_point_rgb_2);
    first.setValue(40, P::exposure, T::mask(0));
    PhotoParameters second = first;
    second.setValue(50, P::saturation);
    second.setValue(20, P::clarity);
    second.setValue(10, P::raw_tint);

    EXPECT_EQ(first.lookupTableValues(), second.lookupTableValues());
    EXPECT_TRUE(first.lookupTableValues().masks.empty());
    EXPECT_EQ(first.lookupTableValues()[P::curve_point_rgb_2], 60);
    second.setValue(-20, P::white_level);
    EXPECT_NE(first.lookupTableValues(), second.lookupTableValues());
}

TEST(PhotoParametersTest, MaskTitlesCountMasksOfTheSameKind) {
    const PhotoParameters parameters({circular, linear, circular});
    EXPECT_EQ(parameters.maskDisplayName(0), "円形1");
    EXPECT_EQ(parameters.maskDisplayName(1), "段階1");
    EXPECT_EQ(parameters.maskDisplayName(2), "円形2");
    EXPECT_EQ(parameters.maskDisplayName(3), std::nullopt);
    EXPECT_EQ(parameters.maskDisplayName(-1), std::nullopt);
}

TEST(PhotoParametersTest, EqualityAndHashingAreStructural) {
    PhotoParameters a({circular, linear});
    a.setValue(25, P::exposure);
    a.setValue(40, P::exposure, T::mask(1));
    PhotoParameters b({circular, linear});
    b.setValue(40, P::exposure, T::mask(1));
    b.setValue(25, P::exposure);
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<PhotoParameters>{}(a), std::hash<PhotoParameters>{}(b));

    // The same values in another mask, or masks of other kinds, are another set.
    PhotoParameters c({circular, linear});
    c.setValue(25, P::exposure);
    c.setValue(40, P::exposure, T::mask(0));
    PhotoParameters d({linear, circular});
    d.setValue(25, P::exposure);
    const std::unordered_set<PhotoParameters> distinct = {a, c, d, PhotoParameters::zero(),
                                                          PhotoParameters({circular})};
    EXPECT_EQ(distinct.size(), 5u);
    EXPECT_TRUE(distinct.contains(b));
}

} // namespace
} // namespace sorvin
