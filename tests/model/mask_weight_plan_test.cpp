#include "model/mask_weight_plan.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;

PhotoParameters with(std::initializer_list<std::pair<P, int>> values) {
    PhotoParameters parameters;
    for (const auto& [p, v] : values)
        parameters.setValue(v, p);
    return parameters;
}

TEST(CircularMaskPlanTest, DefaultMaskOnAWideImage) {
    const auto plan = CircularMaskPlan::makeIgnoringAmount(PhotoParameters(), 1000, 500);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->centerX, 500);
    EXPECT_DOUBLE_EQ(plan->centerY, 250);
    EXPECT_DOUBLE_EQ(plan->radius, 75);
    EXPECT_DOUBLE_EQ(plan->axisA, 75);
    EXPECT_DOUBLE_EQ(plan->axisB, 75);
    EXPECT_DOUBLE_EQ(plan->feather, 0.5);
    EXPECT_DOUBLE_EQ(plan->amount, 0.1);

    // Pixel (x, y) is sampled at (x + 0.5, y + 0.5).
    EXPECT_DOUBLE_EQ(plan->weight(499, 249), 0.1);
    EXPECT_DOUBLE_EQ(plan->weight(536, 249), 0.1); // 36.5 from the centre
    EXPECT_DOUBLE_EQ(plan->weight(575, 249), 0);   // 75.5
    EXPECT_DOUBLE_EQ(plan->weight(0, 0), 0);
    // In the feather: dx = 55.5, dy = -0.5, r = 0.74003, t = 0.51994, smooth step 0.529894.
    EXPECT_NEAR(plan->weight(555, 249), 0.0529894, 1e-7);
}

TEST(CircularMaskPlanTest, InversionSwapsInsideAndOutside) {
    const auto plan = CircularMaskPlan::makeIgnoringAmount(
        with({{P::circular_mask_invert, 100}, {P::circular_mask_amount, 80}}), 1000, 500);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->weight(499, 249), 0);
    EXPECT_DOUBLE_EQ(plan->weight(0, 0), 0.8);
}

TEST(CircularMaskPlanTest, AspectAngleAndHardEdge) {
    const auto wide = CircularMaskPlan::makeIgnoringAmount(
        with({{P::circular_mask_aspect, 100}, {P::circular_mask_feather, 0}, {P::circular_mask_amount, 100}}),
        1000, 1000);
    ASSERT_TRUE(wide);
    EXPECT_DOUBLE_EQ(wide->axisA, 300);
    EXPECT_DOUBLE_EQ(wide->axisB, 75);
    EXPECT_DOUBLE_EQ(wide->weight(500 + 290, 499), 1); // inside along the long axis
    EXPECT_DOUBLE_EQ(wide->weight(499, 500 + 80), 0);  // outside along the short one

    // A quarter turn puts the long axis upright.
    const auto upright = CircularMaskPlan::makeIgnoringAmount(with({{P::circular_mask_aspect, 100},
                                                                    {P::circular_mask_angle, 100},
                                                                    {P::circular_mask_feather, 0},
                                                                    {P::circular_mask_amount, 100}}),
                                                              1000, 1000);
    ASSERT_TRUE(upright);
    EXPECT_DOUBLE_EQ(upright->weight(499, 500 + 290), 1);
    EXPECT_DOUBLE_EQ(upright->weight(500 + 80, 499), 0);

    const auto centred = CircularMaskPlan::makeIgnoringAmount(
        with({{P::circular_mask_center_x, 0}, {P::circular_mask_center_y, 1000}}), 400, 200);
    EXPECT_DOUBLE_EQ(centred->centerX, 0);
    EXPECT_DOUBLE_EQ(centred->centerY, 200);
}

TEST(CircularMaskPlanTest, SizeZeroWeighsOnlyByInversion) {
    const auto plan = CircularMaskPlan::makeIgnoringAmount(
        with({{P::circular_mask_size, 0}, {P::circular_mask_invert, 50}, {P::circular_mask_amount, 100}}), 10,
        10);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->weight(5, 5), 0.5);
}

TEST(LinearMaskPlanTest, HardEdgeRisesFromLeftToRight) {
    const auto plan = LinearMaskPlan::makeIgnoringAmount(
        with({{P::linear_mask_width, 0}, {P::linear_mask_amount, 100}}), 200, 100);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->weight(99, 0), 0); // centre at 99.5: p < 0
    EXPECT_DOUBLE_EQ(plan->weight(100, 0), 1);
    EXPECT_DOUBLE_EQ(plan->weight(0, 99), 0);
    EXPECT_DOUBLE_EQ(plan->weight(199, 0), 1);
}

TEST(LinearMaskPlanTest, SmoothRampAcrossTheBand) {
    // 301 × 400: half diagonal 250.3; the default width 0.3 ramps over 75 pixels either side of
    // the centre line through column 150.
    const auto plan = LinearMaskPlan::makeIgnoringAmount(with({{P::linear_mask_amount, 100}}), 301, 400);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->weight(0, 0), 0);
    EXPECT_DOUBLE_EQ(plan->weight(300, 0), 1);
    EXPECT_DOUBLE_EQ(plan->weight(150, 50), 0.5);
    EXPECT_DOUBLE_EQ(plan->weight(150 - 76, 0), 0);
    EXPECT_DOUBLE_EQ(plan->weight(150 + 76, 399), 1);
    for (int k : {10, 37, 60}) {
        EXPECT_GT(plan->weight(150 + k, 0), plan->weight(150 + k - 1, 0));
        EXPECT_NEAR(plan->weight(150 + k, 0) + plan->weight(150 - k, 0), 1, 1e-12); // the ramp is symmetric
    }
    // Angle 50 turns the gradient downwards; position moves the line.
    const auto down = LinearMaskPlan::makeIgnoringAmount(with({{P::linear_mask_angle, 50},
                                                               {P::linear_mask_width, 0},
                                                               {P::linear_mask_position, 75},
                                                               {P::linear_mask_amount, 100}}),
                                                         300, 400);
    ASSERT_TRUE(down);
    // The line sits at 0.5 × 250 = 125 below the centre, at y = 325.
    EXPECT_DOUBLE_EQ(down->weight(0, 323), 0);
    EXPECT_DOUBLE_EQ(down->weight(299, 325), 1);
    const auto inverted = LinearMaskPlan::makeIgnoringAmount(
        with({{P::linear_mask_invert, 100}, {P::linear_mask_width, 0}, {P::linear_mask_amount, 40}}), 200,
        100);
    EXPECT_DOUBLE_EQ(inverted->weight(0, 0), 0.4);
    EXPECT_DOUBLE_EQ(inverted->weight(199, 0), 0);
}

TEST(MaskWeightPlanTest, PlansIgnoreTheAmountButHooksDoNot) {
    const auto amountless = with({{P::circular_mask_amount, 0}, {P::linear_mask_amount, 0}});
    const auto circular = CircularMaskPlan::makeIgnoringAmount(amountless, 100, 100);
    ASSERT_TRUE(circular);
    EXPECT_DOUBLE_EQ(circular->weight(50, 50), 0);
    EXPECT_TRUE(LinearMaskPlan::makeIgnoringAmount(amountless, 100, 100));
    for (const auto& definition : MaskKindCatalog::current().definitions) {
        EXPECT_FALSE(definition.makeWeightPlan(amountless, 100, 100)) << definition.kind.rawValue;
    }
    EXPECT_FALSE(CircularMaskPlan::makeIgnoringAmount(PhotoParameters(), 0, 100));
    EXPECT_FALSE(LinearMaskPlan::makeIgnoringAmount(PhotoParameters(), 100, 0));
}

TEST(MaskWeightPlanTest, DispatchesToItsImplementation) {
    const auto hook = MaskKindCatalog::current().definitions[0].makeWeightPlan;
    const auto plan = hook(with({{P::circular_mask_amount, 100}}), 100, 100);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->weight(50, 50), 1);
    const MaskWeightPlan custom{MaskKind{"custom"},
                                MaskWeightPlan::Custom([](int x, int y) { return x * 0.25 + y; })};
    EXPECT_DOUBLE_EQ(custom.weight(2, 1), 1.5);
}

} // namespace
} // namespace sorvin
