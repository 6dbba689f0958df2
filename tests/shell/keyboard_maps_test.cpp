#include "shell/key_code.hpp"
#include "shell/keyboard_maps.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

using M = AdjustmentKeyModifiers;

TEST(ParameterKeyBinding, EachPairKeyFindsItsSlotAndNoOtherKeyDoes) {
    struct Row {
        std::uint16_t code;
        PhotoParameter parameter;
    };
    const Row rows[] = {
        {0, PhotoParameter::exposure},     {6, PhotoParameter::exposure},
        {1, PhotoParameter::contrast},     {7, PhotoParameter::contrast},
        {2, PhotoParameter::saturation},   {8, PhotoParameter::saturation},
        {3, PhotoParameter::highlights},   {9, PhotoParameter::highlights},
        {5, PhotoParameter::shadows},      {11, PhotoParameter::shadows},
        {4, PhotoParameter::white_level},  {45, PhotoParameter::white_level},
        {38, PhotoParameter::black_level}, {46, PhotoParameter::black_level},
        {40, PhotoParameter::temperature}, {43, PhotoParameter::temperature},
        {37, PhotoParameter::tint},        {47, PhotoParameter::tint},
        {41, PhotoParameter::vibrance},    {44, PhotoParameter::vibrance},
    };
    for (const Row& row : rows) {
        const auto binding = ParameterKeyBinding::binding(row.code);
        ASSERT_TRUE(binding) << row.code;
        EXPECT_EQ(binding->parameter, row.parameter) << row.code;
    }
    int bound = 0;
    for (int code = 0; code < 300; ++code)
        bound += ParameterKeyBinding::binding(code).has_value();
    EXPECT_EQ(bound, 20);
    // The row number is the panel column the key pair addresses.
    for (std::size_t slot = 0; slot < ParameterKeyBinding::bindings.size(); ++slot)
        EXPECT_EQ(ParameterCatalog::slot(ParameterKeyBinding::bindings[slot].parameter), int(slot));
}

TEST(ParameterKeyBinding, LabelsAreThoseOfThePairKeysOnly) {
    EXPECT_EQ(ParameterKeyBinding::label(43), ",");
    EXPECT_EQ(ParameterKeyBinding::label(41), ";");
    EXPECT_EQ(ParameterKeyBinding::label(4), "H");
    EXPECT_EQ(ParameterKeyBinding::label(5), "G");
    EXPECT_FALSE(ParameterKeyBinding::label(12)); // Q opens a page but has no key cap
    EXPECT_FALSE(ParameterKeyBinding::label(48));
    EXPECT_FALSE(ParameterKeyBinding::label(10));
}

TEST(ParameterTabShortcut, TabLabelsDependOnTargetAndRaw) {
    const auto global = ParameterEditTarget::global();
    const auto mask = ParameterEditTarget::mask(0);
    const char* letters[] = {"Q", "W", "E", "R", "T", "Y", "U", "I"};
    for (int tab = 0; tab < 8; ++tab) {
        EXPECT_EQ(ParameterTabShortcut::keyLabel(tab, global, false), letters[tab]);
        EXPECT_EQ(ParameterTabShortcut::keyLabel(tab, mask, true), letters[tab]);
    }
    EXPECT_EQ(ParameterTabShortcut::keyLabel(11, global, false), "5");
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(11, mask, false));
    EXPECT_EQ(ParameterTabShortcut::keyLabel(8, mask, false), "O");
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(8, global, true));
    EXPECT_EQ(ParameterTabShortcut::keyLabel(9, global, true), "O");
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(9, global, false));
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(9, mask, true));
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(10, global, true));
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(-1, global, true));
    EXPECT_FALSE(ParameterTabShortcut::keyLabel(12, global, true));
}

TEST(SelectShortcut, ActionsNeedTheirExactModifiers) {
    using A = SelectShortcutAction;
    struct Row {
        std::uint16_t code;
        M modifiers;
        std::optional<A> action;
    };
    const Row rows[] = {
        {1, M{M::command}, A::presentCurrentPhotoExport},
        {2, M{M::command}, A::createDuplicate},
        {3, M{M::command}, A::toggleFilter},
        {5, M{M::command}, A::toggleGrid},
        {11, M{M::command}, A::togglePanels},
        {14, M{M::command}, A::presentExport},
        {15, M{M::command}, A::randomizeParameters},
        {24, M{M::shift}, A::resetCrop},
        {32, M{M::command}, A::toggleSortDirection},
        {34, M{M::command}, A::copyExifText},
        {35, M{M::command}, A::copyCurrentImage},
        {37, M{M::command}, A::toggleClippingWarning},
        {38, M{M::command}, A::toggleSortKey},
        {48, M{}, A::toggleSource},
        {51, M{M::command}, A::deleteDuplicate},
        {14, M{M::command, M::shift}, std::nullopt},
        {24, M{}, std::nullopt},
        {24, M{M::command}, std::nullopt},
        {48, M{M::shift}, std::nullopt},
        {48, M{M::option}, std::nullopt},
        {0, M{M::command}, std::nullopt},
        {8, M{M::command}, std::nullopt},
        {123, M{M::command}, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SelectShortcut::action(row.code, row.modifiers), row.action) << row.code;
}

TEST(AdjustmentKeyModifiers, SetOperationsCompareExactSets) {
    const M shiftCommand{M::shift, M::command};
    EXPECT_EQ(shiftCommand.rawValue(), 3);
    EXPECT_TRUE(M{M::shift}.isSubset(shiftCommand));
    EXPECT_FALSE(shiftCommand.isSubset(M{M::shift}));
    EXPECT_TRUE(M{M::option}.isDisjoint(shiftCommand));
    EXPECT_EQ(shiftCommand.subtracting(M{M::shift}), M{M::command});
    EXPECT_EQ((shiftCommand ^ M{M::command, M::control}).rawValue(), 1 | 8);
    M m;
    m.insert(M::option);
    m.remove(M::option);
    EXPECT_TRUE(m.isEmpty());
}

TEST(ParameterSliderGeometry, TrackEndsAndInsetsMapToRangeBounds) {
    struct Row {
        double y;
        double height;
        int expected;
    };
    const Row rows[] = {
        {0, 214, 100}, {7, 214, 100},  {207, 214, -100}, {500, 214, -100},
        {107, 214, 0}, {50, 14, -100}, {50, 10, -100},   {-5, 214, 100},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParameterSliderGeometry::value(row.y, -100, 100, row.height), row.expected) << row.y;
    EXPECT_EQ(ParameterSliderGeometry::value(0, 0, 1000, 214), 1000);
    // Halfway on a two-point track: halves round away from zero.
    EXPECT_EQ(ParameterSliderGeometry::value(8, 0, 1, 16), 1);
    EXPECT_EQ(ParameterSliderGeometry::value(8, -1, 0, 16), -1);
    EXPECT_EQ(ParameterSliderGeometry::value(std::nan(""), 0, 100, 214), 0);
}

} // namespace
} // namespace sorvin
