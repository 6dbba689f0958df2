#include "persistence/parameter_preset_store.hpp"
#include "platform/defaults_store.hpp"
#include "shell/command_cheat_sheet.hpp"

#include <gtest/gtest.h>
#include <set>

namespace sorvin {
namespace {

std::map<std::string, std::string> labelsWithPresets(const std::vector<std::string>& names) {
    DefaultsStore defaults;
    ParameterPresetStore store(defaults);
    std::vector<ParameterPreset> presets;
    for (const auto& name : names) {
        ParameterPreset preset;
        preset.name = name;
        presets.push_back(preset);
    }
    store.save(presets);
    return CommandCheatSheet::visibleLabels(store);
}

TEST(CommandCheatSheetTest, WithoutPresetsTheDigitKeysOneToEightAreBlank) {
    const auto labels = labelsWithPresets({});
    EXPECT_EQ(labels.size(), 26u);
    for (const char* key : {"1", "2", "3", "4", "5", "6", "7", "8"})
        EXPECT_FALSE(labels.contains(key)) << key;
    EXPECT_EQ(labels.at("9"), "枠を縮小");
    EXPECT_EQ(labels.at("0"), "枠を拡大");
    EXPECT_EQ(labels.at(","), "設定");
    for (const auto& arrow : CommandCheatSheet::arrowKeys())
        EXPECT_TRUE(labels.contains(std::string(arrow)));
    // The keys the table leaves unlabelled.
    for (const char* key : {"W", "T", "Y", "A", "H", ";", "X", "N", ".", "/"})
        EXPECT_FALSE(labels.contains(key)) << key;
}

TEST(CommandCheatSheetTest, PresetsLabelTheirKeysWithTheirFirstFourCharacters) {
    const auto labels =
        labelsWithPresets({"風景ふうけい", "Po", "c", "d", "e", "f", "g", "h", "ninth", "tenth"});
    EXPECT_EQ(labels.at("1"), "風景ふう");
    EXPECT_EQ(labels.at("2"), "Po");
    EXPECT_EQ(labels.at("8"), "h");
    EXPECT_EQ(labels.at("9"), "枠を縮小");
    EXPECT_EQ(labels.at("0"), "枠を拡大");
}

TEST(CommandCheatSheetTest, TableKeysAreUniqueAndOnTheKeyboard) {
    std::set<std::string_view> onKeyboard(CommandCheatSheet::arrowKeys().begin(),
                                          CommandCheatSheet::arrowKeys().end());
    for (const auto& row : CommandCheatSheet::rows())
        onKeyboard.insert(row.begin(), row.end());
    std::set<std::string_view> seen;
    for (const auto& entry : CommandCheatSheet::labels()) {
        EXPECT_TRUE(seen.insert(entry.key.key).second) << entry.key.key;
        EXPECT_TRUE(onKeyboard.contains(entry.key.key)) << entry.key.key;
    }
}

TEST(CommandCheatSheetTest, KeyCapsSitOnTheStaggeredGrid) {
    using M = CommandCheatSheetMetrics;
    EXPECT_EQ(M::keyOrigin(0, 0), (M::Origin{0, 0}));
    EXPECT_EQ(M::keyOrigin(1, 2), (M::Origin{122, 50}));
    EXPECT_EQ(M::keyOrigin(3, 9), (M::Origin{505, 150}));
    EXPECT_EQ(M::arrowKeyOrigin(0), (M::Origin{605, 100}));
    EXPECT_EQ(M::arrowKeyOrigin(1), (M::Origin{555, 150}));
    EXPECT_EQ(M::arrowKeyOrigin(2), (M::Origin{605, 150}));
    EXPECT_EQ(M::arrowKeyOrigin(3), (M::Origin{655, 150}));
    // The last cap of every row and the right arrow end inside the frame.
    EXPECT_LE(M::arrowKeyOrigin(3).x + M::keySize, M::keyboardWidth);
    EXPECT_LE(M::keyOrigin(3, 9).y + M::keySize, M::keyboardHeight);
}

TEST(CommandCheatSheetTest, TheKeyboardFitsByTheTighterSide) {
    // Wide and low: the height decides.
    auto fit = CommandCheatSheetMetrics::fit(2000, 194 + 24);
    EXPECT_DOUBLE_EQ(fit.scale, 1.0);
    EXPECT_DOUBLE_EQ(fit.y, 12);
    EXPECT_DOUBLE_EQ(fit.x, 12 + (2000 - 24 - 699) / 2.0);
    // Tall and narrow: the width decides, and the keyboard is centred vertically.
    fit = CommandCheatSheetMetrics::fit(699 / 2.0 + 24, 1000);
    EXPECT_DOUBLE_EQ(fit.scale, 0.5);
    EXPECT_DOUBLE_EQ(fit.x, 12);
    EXPECT_DOUBLE_EQ(fit.y, 12 + (1000 - 24 - 97) / 2.0);
}

} // namespace
} // namespace sorvin
