#include "canvas/mask_tab_bar_model.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

PhotoParameters masks(std::initializer_list<MaskKind> kinds) {
    PhotoParameters parameters;
    for (const auto& kind : kinds)
        parameters.appendMask(kind);
    return parameters;
}

TEST(MaskTabBarModel, TabsTitlesAndColours) {
    const auto parameters = masks({MaskKind::circular(), MaskKind::linear(), MaskKind::circular()});
    const auto model =
        MaskTabBarModel::make(parameters, ParameterEditTarget::mask(1), true, MaskKindCatalog::current());
    const std::vector<MaskTabItemModel> expected{
        {ParameterEditTarget::global(), "全体", false, "#3A3A3C", "#F2F2F7"},
        {ParameterEditTarget::mask(0), "円形1", false, "#3A3A3C", "#F2F2F7"},
        {ParameterEditTarget::mask(1), "段階1", true, "#BF5AF2", "#FFFFFF"},
        {ParameterEditTarget::mask(2), "円形2", false, "#3A3A3C", "#F2F2F7"},
    };
    EXPECT_EQ(model.items, expected);
    EXPECT_TRUE(model.canAddMask);
    EXPECT_EQ(model.addButtonBackgroundHex, "#3A3A3C");
    EXPECT_EQ(model.addButtonTextHex, "#F2F2F7");
}

TEST(MaskTabBarModel, TargetOutsideTheMasksSelectsTheWholePhoto) {
    const auto parameters = masks({MaskKind::circular(), MaskKind::linear()});
    for (auto target :
         {ParameterEditTarget::global(), ParameterEditTarget::mask(3), ParameterEditTarget::mask(-1)}) {
        const auto model = MaskTabBarModel::make(parameters, target, true, MaskKindCatalog::current());
        ASSERT_EQ(model.items.size(), 3u);
        EXPECT_EQ(model.items[0],
                  (MaskTabItemModel{ParameterEditTarget::global(), "全体", true, "#8E8E93", "#FFFFFF"}));
        EXPECT_FALSE(model.items[1].isSelected);
        EXPECT_FALSE(model.items[2].isSelected);
    }
}

TEST(MaskTabBarModel, AddButtonNeedsAPhotoAndRoomForAMask) {
    const auto& catalog = MaskKindCatalog::current();
    const auto three = masks({MaskKind::circular(), MaskKind::circular(), MaskKind::linear()});
    const auto four =
        masks({MaskKind::circular(), MaskKind::circular(), MaskKind::linear(), MaskKind::linear()});
    EXPECT_TRUE(MaskTabBarModel::make(three, {}, true, catalog).canAddMask);
    const auto full = MaskTabBarModel::make(four, {}, true, catalog);
    EXPECT_FALSE(full.canAddMask);
    EXPECT_EQ(full.addButtonBackgroundHex, "#2C2C2E");
    EXPECT_EQ(full.addButtonTextHex, "#48484A");
    const auto none = MaskTabBarModel::make(PhotoParameters{}, {}, false, catalog);
    EXPECT_FALSE(none.canAddMask);
    ASSERT_EQ(none.items.size(), 1u);
    EXPECT_TRUE(none.items[0].isSelected);
}

TEST(MaskTabBarModel, MaskOfAnUnknownKindHasNoTitleAndAPlainSelection) {
    PhotoParameters parameters(std::vector<MaskKind>{MaskKind{"radial"}});
    ASSERT_EQ(parameters.masks.size(), 1u);
    const auto model =
        MaskTabBarModel::make(parameters, ParameterEditTarget::mask(0), true, MaskKindCatalog::current());
    EXPECT_EQ(model.items[1],
              (MaskTabItemModel{ParameterEditTarget::mask(0), "", true, "#3A3A3C", "#FFFFFF"}));
}

TEST(MaskTabBarModel, ColourTextsAreHashAndSixHexDigits) {
    EXPECT_EQ(MaskTabBarModel::color("#FF9F0A"), (SrgbColor{255, 159, 10}));
    EXPECT_EQ(MaskTabBarModel::color("#bf5af2"), (SrgbColor{191, 90, 242}));
    for (const char* bad : {"FF9F0A", "#FFF", "#FF9F0G", "", "#FF9F0A0", "##F9F0A"}) {
        EXPECT_EQ(MaskTabBarModel::color(bad), std::nullopt) << bad;
    }
}

} // namespace
} // namespace sorvin
