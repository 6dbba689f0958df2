#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;
const MaskKindCatalog& catalog = MaskKindCatalog::current();

TEST(MaskKindCatalogTest, HoldsCircularThenLinear) {
    ASSERT_EQ(catalog.definitions.size(), 2u);
    const auto& circular = catalog.definitions[0];
    EXPECT_EQ(circular.kind, MaskKind::circular());
    EXPECT_EQ(circular.storageSymbol, 'C');
    EXPECT_EQ(circular.displayName, "円形");
    EXPECT_EQ(circular.selectedColor, (MaskDisplayColor{"#FF9F0A", 1.0, 159.0 / 255, 10.0 / 255}));
    EXPECT_EQ(circular.shapeParameters.size(), 8u);
    EXPECT_EQ(circular.amountParameter, P::circular_mask_amount);
    EXPECT_TRUE(circular.dragValues);

    const auto& linear = catalog.definitions[1];
    EXPECT_EQ(linear.kind.rawValue, "linear");
    EXPECT_EQ(linear.storageSymbol, 'L');
    EXPECT_EQ(linear.displayName, "段階");
    EXPECT_EQ(linear.selectedColor.hex, "#BF5AF2");
    EXPECT_EQ(linear.shapeParameters,
              (std::vector<P>{P::linear_mask_amount, P::linear_mask_position, P::linear_mask_angle,
                              P::linear_mask_width, P::linear_mask_invert}));
    EXPECT_EQ(linear.amountParameter, P::linear_mask_amount);
    EXPECT_FALSE(linear.dragValues);
    EXPECT_EQ(linear.shapeIndex(P::linear_mask_width), 3);
    EXPECT_EQ(linear.shapeIndex(P::circular_mask_size), std::nullopt);
}

TEST(MaskKindCatalogTest, Lookups) {
    EXPECT_EQ(catalog.definitionForStorageSymbol('L'), &catalog.definitions[1]);
    EXPECT_EQ(catalog.definitionForStorageSymbol('c'), nullptr);
    EXPECT_EQ(catalog.definitionForStorageName("circular"), &catalog.definitions[0]);
    EXPECT_EQ(catalog.definitionForStorageName("Circular"), nullptr);
    EXPECT_EQ(catalog.definition(MaskKind{"spiral"}), nullptr);
}

TEST(MaskKindCatalogTest, StoredKindLists) {
    EXPECT_EQ(catalog.kinds({"circular", "linear", "circular"}),
              (std::vector<MaskKind>{MaskKind::circular(), MaskKind::linear(), MaskKind::circular()}));
    EXPECT_EQ(catalog.kinds({}), std::vector<MaskKind>{});
    EXPECT_EQ(catalog.kinds({"Circular"}), std::nullopt);
    EXPECT_EQ(catalog.kinds({"linear", "spiral"}), std::nullopt);
    EXPECT_EQ(catalog.kinds({"linear", "linear", "linear", "linear", "linear"}), std::nullopt);
}

TEST(MaskKindCatalogTest, WeightPlanHooksRefuseEmptyImagesAndZeroAmounts) {
    for (const auto& definition : catalog.definitions) {
        PhotoParameters values;
        EXPECT_FALSE(definition.makeWeightPlan(values, 0, 100)) << definition.kind.rawValue;
        EXPECT_FALSE(definition.makeWeightPlan(values, 100, -1)) << definition.kind.rawValue;
        const auto plan = definition.makeWeightPlan(values, 100, 100);
        ASSERT_TRUE(plan) << definition.kind.rawValue;
        EXPECT_EQ(plan->kind, definition.kind);
        values.setValue(0, definition.amountParameter);
        EXPECT_FALSE(definition.makeWeightPlan(values, 100, 100)) << definition.kind.rawValue;
    }
}

TEST(MaskKindCatalogTest, LinearHookWithDefaultValues) {
    const auto plan = catalog.definitions[1].makeWeightPlan(PhotoParameters(), 300, 400);
    ASSERT_TRUE(plan);
    const auto* linear = std::get_if<LinearMaskPlan>(&plan->implementation);
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(*linear, (LinearMaskPlan{.amount = 0.1,
                                       .inversion = 0,
                                       .cosine = 1,
                                       .sine = 0,
                                       .referenceLength = 250,
                                       .centerX = 150,
                                       .centerY = 200,
                                       .position = 0,
                                       .width = 0.3}));
}

TEST(MaskKindCatalogTest, CircularCentreFollowsThePointer) {
    const auto& drag = catalog.definitions[0].dragValues;
    const Rect rect{200, 50, 1600, 900};
    const PhotoParameters values;
    auto centre = [&](Point point) { return drag(point, rect, values, false, false); };

    auto atRightEdge = centre({1800, 500});
    ASSERT_TRUE(atRightEdge);
    EXPECT_EQ(atRightEdge->at(P::circular_mask_center_x), 1000);
    EXPECT_EQ(atRightEdge->at(P::circular_mask_center_y), 500);
    EXPECT_EQ(centre({100, 50})->at(P::circular_mask_center_x), 0);
    EXPECT_EQ(centre({300, 50})->at(P::circular_mask_center_x), 63); // 62.5 rounds away from zero
    EXPECT_EQ(centre({300, -4000})->at(P::circular_mask_center_y), 0);
    EXPECT_EQ(centre({300, 50})->size(), 2u);

    EXPECT_FALSE(drag({300, 50}, rect, values, true, false));
    EXPECT_FALSE(drag({300, 50}, rect, values, false, true));
    EXPECT_FALSE(drag({300, 50}, Rect{0, 0, 0, 100}, values, false, false));
    EXPECT_FALSE(drag({std::nan(""), 50}, rect, values, false, false));
}

} // namespace
} // namespace sorvin
