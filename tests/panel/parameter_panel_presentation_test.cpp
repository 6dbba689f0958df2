#include "model/parameter_page.hpp"
#include "panel/parameter_child_slider_appearance.hpp"
#include "panel/parameter_clipboard_button_kind.hpp"
#include "panel/parameter_edit_target_palette.hpp"
#include "panel/parameter_key_cap_visual_state.hpp"
#include "panel/parameter_number_row_metrics.hpp"
#include "panel/parameter_slot_content.hpp"
#include "panel/source_selector_labels.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using Channel = PointCurveChannel;

PhotoParameters withMasks(std::vector<MaskKind> kinds) {
    PhotoParameters parameters;
    for (const MaskKind& kind : kinds)
        parameters.appendMask(kind);
    return parameters;
}

TEST(ParameterPanelPresentationTest, NumberRowOffersGeometryOnlyForTheGlobalTarget) {
    const auto global = ParameterNumberRowMetrics::pages(ParameterEditTarget::global());
    ASSERT_EQ(global.size(), 5u);
    EXPECT_EQ(global[0], ParameterPage::curve(Channel::rgb));
    EXPECT_EQ(global[3], ParameterPage::curve(Channel::blue));
    EXPECT_EQ(global[4], ParameterPage::letter(ParameterLetterPage::geometry));
    EXPECT_EQ(ParameterNumberRowMetrics::pages(ParameterEditTarget::mask(0)).size(), 4u);
}

TEST(ParameterPanelPresentationTest, CurveButtonsTakeTheirChannelColourOnlyWhileSelected) {
    struct Row {
        Channel channel;
        std::string name;
        std::string key;
        SrgbColor selectedKey;
        SrgbColor selectedBackground;
    };
    const Row rows[] = {
        {Channel::rgb, "RGBカーブ", "1", {229, 229, 234}, {142, 142, 147}},
        {Channel::red, "赤カーブ", "2", {255, 212, 208}, {255, 69, 58}},
        {Channel::green, "緑カーブ", "3", {212, 245, 218}, {50, 215, 75}},
        {Channel::blue, "青カーブ", "4", {204, 228, 255}, {10, 132, 255}},
    };
    for (const Row& row : rows) {
        const auto selected =
            ParameterNumberRowMetrics::curveButton(row.channel, ParameterPage::curve(row.channel));
        EXPECT_EQ(selected.name, row.name);
        EXPECT_EQ(selected.keyText(), "（" + row.key + "）");
        EXPECT_TRUE(selected.isSelected);
        EXPECT_EQ(selected.nameColor, (SrgbColor{255, 255, 255}));
        EXPECT_EQ(selected.keyColor, row.selectedKey);
        EXPECT_EQ(selected.backgroundColor, row.selectedBackground);
        const auto other = ParameterNumberRowMetrics::curveButton(
            row.channel, ParameterPage::letter(ParameterLetterPage::basic));
        EXPECT_FALSE(other.isSelected);
        EXPECT_EQ(other.nameColor, (SrgbColor{242, 242, 247}));
        EXPECT_EQ(other.keyColor, (SrgbColor{142, 142, 147}));
        EXPECT_EQ(other.backgroundColor, (SrgbColor{58, 58, 60}));
    }
}

TEST(ParameterPanelPresentationTest, LetterTabFace) {
    const auto selected = ParameterNumberRowMetrics::letterButton(
        ParameterLetterPage::geometry, ParameterPage::letter(ParameterLetterPage::geometry), "5");
    EXPECT_EQ(selected.name, "補正");
    EXPECT_EQ(selected.keyText(), "（5）");
    EXPECT_EQ(selected.keyColor, (SrgbColor{255, 212, 222}));
    EXPECT_EQ(selected.backgroundColor, (SrgbColor{255, 55, 95}));
    // A curve page selects no letter tab.
    const auto tab = ParameterNumberRowMetrics::letterButton(ParameterLetterPage::basic,
                                                             ParameterPage::curve(Channel::rgb), "Q");
    EXPECT_FALSE(tab.isSelected);
    EXPECT_EQ(tab.backgroundColor, (SrgbColor{58, 58, 60}));
}

TEST(ParameterPanelPresentationTest, ChildSlidersDimWhileTheirParentIsZero) {
    PhotoParameters parameters;
    const auto global = ParameterEditTarget::global();
    EXPECT_DOUBLE_EQ(
        ParameterChildSliderAppearance::opacity(PhotoParameter::vignette_feather, parameters, global), 0.4);
    EXPECT_DOUBLE_EQ(
        ParameterChildSliderAppearance::opacity(PhotoParameter::vignette_amount, parameters, global), 1.0);
    EXPECT_DOUBLE_EQ(ParameterChildSliderAppearance::opacity(PhotoParameter::exposure, parameters, global),
                     1.0);
    parameters.setValue(-20, PhotoParameter::vignette_amount);
    EXPECT_DOUBLE_EQ(
        ParameterChildSliderAppearance::opacity(PhotoParameter::vignette_feather, parameters, global), 1.0);

    // A mask's children follow the mask's own amount.
    PhotoParameters masked = withMasks({MaskKind::circular(), MaskKind::linear()});
    masked.setValue(50, PhotoParameter::blackwhite_amount);
    const auto mask1 = ParameterEditTarget::mask(1);
    EXPECT_DOUBLE_EQ(ParameterChildSliderAppearance::opacity(PhotoParameter::blackwhite_red, masked, mask1),
                     0.4);
    masked.setValue(30, PhotoParameter::blackwhite_amount, mask1);
    EXPECT_DOUBLE_EQ(ParameterChildSliderAppearance::opacity(PhotoParameter::blackwhite_red, masked, mask1),
                     1.0);
    EXPECT_DOUBLE_EQ(ParameterChildSliderAppearance::opacity(PhotoParameter::blackwhite_red, masked,
                                                             ParameterEditTarget::mask(0)),
                     0.4);
}

TEST(ParameterPanelPresentationTest, EditTargetColourMarksOnlyAnExistingMask) {
    const PhotoParameters parameters = withMasks({MaskKind::circular(), MaskKind::linear()});
    EXPECT_FALSE(ParameterEditTargetPalette::color(ParameterEditTarget::global(), parameters));
    EXPECT_EQ(ParameterEditTargetPalette::color(ParameterEditTarget::mask(0), parameters),
              (SrgbColor{255, 159, 10}));
    EXPECT_EQ(ParameterEditTargetPalette::color(ParameterEditTarget::mask(1), parameters),
              (SrgbColor{191, 90, 242}));
    EXPECT_FALSE(ParameterEditTargetPalette::color(ParameterEditTarget::mask(2), parameters));
    EXPECT_FALSE(ParameterEditTargetPalette::color(ParameterEditTarget::mask(-1), parameters));
}

TEST(ParameterPanelPresentationTest, MaskDeletionNamesTheEditedMask) {
    const PhotoParameters parameters =
        withMasks({MaskKind::circular(), MaskKind::linear(), MaskKind::circular()});
    EXPECT_FALSE(MaskDeletionPresentation::make(ParameterEditTarget::global(), parameters));
    EXPECT_FALSE(MaskDeletionPresentation::make(ParameterEditTarget::mask(3), parameters));
    const auto first = MaskDeletionPresentation::make(ParameterEditTarget::mask(0), parameters);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->question(), "「円形1」を削除しますか？");
    const auto third = MaskDeletionPresentation::make(ParameterEditTarget::mask(2), parameters);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->index, 2);
    EXPECT_EQ(third->name, "円形2");
}

TEST(ParameterPanelPresentationTest, SlotContentsFollowThePage) {
    const RawDevelopmentSupport support;
    const auto red = ParameterSlotContent::slots(
        ParameterPage::curve(Channel::red), ParameterEditTarget::global(), PhotoParameters(), false, support);
    ASSERT_EQ(red.size(), 10u);
    for (int k = 0; k < 5; ++k)
        EXPECT_FALSE(red[k].isImplemented()) << k;
    for (int k = 5; k < 10; ++k) {
        EXPECT_EQ(red[k].parameter, ParameterCatalog::curvePoint(Channel::red, k - 5));
        EXPECT_EQ(red[k].slot, k);
    }
    const auto basic =
        ParameterSlotContent::slots(ParameterPage::letter(ParameterLetterPage::basic),
                                    ParameterEditTarget::global(), PhotoParameters(), false, support);
    ASSERT_FALSE(basic.empty());
    EXPECT_EQ(basic[0].parameter, PhotoParameter::exposure);
    // The shape page shows the edited mask's own shape parameters.
    const PhotoParameters masked = withMasks({MaskKind::linear(), MaskKind::circular()});
    const auto shape = ParameterSlotContent::slots(ParameterPage::letter(ParameterLetterPage::shape),
                                                   ParameterEditTarget::mask(1), masked, false, support);
    ASSERT_GT(shape.size(), 1u);
    EXPECT_EQ(shape[1].parameter, PhotoParameter::circular_mask_center_x);
}

TEST(ParameterPanelPresentationTest, SourceLabelsAndButtonStates) {
    Photo lone;
    lone.url = "/p/a.JPG";
    lone.relativePath = "a.JPG";
    EXPECT_EQ(SourceSelectorLabels::make(lone), (SourceSelectorLabels{"JPEG", "RAW"}));
    Photo pair = lone;
    pair.url = "/p/b.heic";
    pair.rawCompanionURL = "/p/b.CR3";
    EXPECT_EQ(SourceSelectorLabels::make(pair), (SourceSelectorLabels{"HEIC", "CR3"}));

    using S = SourceButtonState;
    EXPECT_EQ(SourceButtonStates::of(PhotoSource::jpeg, PhotoSource::jpeg, lone), S::shown);
    EXPECT_EQ(SourceButtonStates::of(PhotoSource::raw, PhotoSource::jpeg, lone), S::unavailable);
    EXPECT_EQ(SourceButtonStates::of(PhotoSource::raw, PhotoSource::jpeg, pair), S::switchable);
    EXPECT_FALSE(SourceButtonStates::isClickable(S::shown));
    EXPECT_TRUE(SourceButtonStates::isClickable(S::switchable));
    EXPECT_EQ(SourceButtonStates::backgroundColor(S::shown), (SrgbColor{255, 55, 95}));
    EXPECT_EQ(SourceButtonStates::textColor(S::switchable), (SrgbColor{152, 152, 157}));
    EXPECT_EQ(SourceButtonStates::backgroundColor(S::unavailable), (SrgbColor{44, 44, 46}));
}

TEST(ParameterPanelPresentationTest, ClipboardButtons) {
    using K = ParameterClipboardButtonKind;
    const auto& kinds = ParameterClipboardButtonKinds::allCases;
    ASSERT_EQ(kinds.size(), 2u);
    EXPECT_EQ(ParameterClipboardButtonKinds::title(kinds[0]), "コピー");
    EXPECT_EQ(ParameterClipboardButtonKinds::title(kinds[1]), "貼り付け");
    EXPECT_EQ(ParameterClipboardButtonKinds::action(K::paste), ParameterClipboardAction::paste);
    EXPECT_EQ(ParameterClipboardButtonKinds::action(K::copy), ParameterClipboardAction::copy);
    EXPECT_FALSE(ParameterClipboardButtonKinds::isEnabled(K::copy, false, true));
    EXPECT_TRUE(ParameterClipboardButtonKinds::isEnabled(K::copy, true, false));
    EXPECT_FALSE(ParameterClipboardButtonKinds::isEnabled(K::paste, true, false));
    EXPECT_TRUE(ParameterClipboardButtonKinds::isEnabled(K::paste, true, true));
}

TEST(ParameterPanelPresentationTest, KeyCapStates) {
    using V = ParameterKeyCapVisualState;
    struct Row {
        bool implemented, pointer, keyboard, hovered;
        V expected;
    };
    const Row rows[] = {
        {false, true, true, true, V::unavailable}, {true, false, true, false, V::pressed},
        {true, true, false, true, V::pressed},     {true, false, false, true, V::hovered},
        {true, false, false, false, V::normal},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ParameterKeyCapVisualStates::of(r.implemented, r.pointer, r.keyboard, r.hovered),
                  r.expected);
    EXPECT_EQ(ParameterKeyCapVisualStates::colors(V::hovered).border, (SrgbColor{108, 108, 112}));
    EXPECT_EQ(ParameterKeyCapVisualStates::colors(V::unavailable).label, (SrgbColor{99, 99, 102}));
}

} // namespace
} // namespace sorvin
