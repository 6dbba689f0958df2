#include "persistence/parameter_preset_manager.hpp"
#include "persistence/parameter_preset_save_form_state.hpp"
#include "persistence/preference_key.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

using SaveKind = ParameterPresetSaveResult::Kind;
using RenameKind = ParameterPresetRenameResult::Kind;

PhotoParameters withExposure(int value) {
    PhotoParameters parameters;
    parameters.setValue(value, PhotoParameter::exposure);
    return parameters;
}

std::vector<ParameterPreset> numbered(int count) {
    std::vector<ParameterPreset> presets;
    for (int i = 0; i < count; ++i)
        presets.push_back({fmt::format("p{}", i), withExposure(i), true});
    return presets;
}

std::vector<std::string> names(const std::vector<ParameterPreset>& presets) {
    std::vector<std::string> result;
    for (const auto& preset : presets)
        result.push_back(preset.name);
    return result;
}

class PresetManagerTest : public ::testing::Test {
protected:
    // The manager's list is what the store holds after every change.
    void expectPersisted(const ParameterPresetManager& m) { EXPECT_EQ(store.load().presets, m.presets()); }

    DefaultsStore defaults;
    ParameterPresetStore store{defaults};
    ParameterPresetManager manager{store, {}};
};

TEST_F(PresetManagerTest, SavingAppendsOrOverwritesInPlace) {
    const auto saved = manager.save("  夕景\n赤 ", withExposure(10));
    EXPECT_EQ(saved, (ParameterPresetSaveResult{SaveKind::saved, "夕景 赤"}));
    EXPECT_EQ(saved.toast(), (ParameterPresetToast{"プリセット「夕景 赤」を保存しました", 1.5}));
    manager.save("second", withExposure(20));

    const auto overwritten = manager.save("夕景 赤", withExposure(-5));
    EXPECT_EQ(overwritten.kind, SaveKind::overwritten);
    EXPECT_EQ(overwritten.toast()->text, "プリセット「夕景 赤」を上書きしました");
    EXPECT_EQ(names(manager.presets()), (std::vector<std::string>{"夕景 赤", "second"}));
    EXPECT_EQ(manager.presets()[0].parameters, withExposure(-5));
    expectPersisted(manager);

    EXPECT_EQ(manager.save("   ", withExposure(1)).kind, SaveKind::unavailable);
    EXPECT_EQ(manager.save(std::string(31, 'x'), withExposure(1)).kind, SaveKind::unavailable);
    EXPECT_EQ(manager.save("   ", withExposure(1)).toast(), std::nullopt);
}

TEST_F(PresetManagerTest, AFullListRefusesNewNamesButOverwrites) {
    ParameterPresetManager full(store, numbered(20));
    EXPECT_EQ(full.save("new", withExposure(1)).kind, SaveKind::unavailable);
    EXPECT_EQ(full.save("p7", withExposure(99)).kind, SaveKind::overwritten);
    EXPECT_EQ(full.presets().size(), 20u);
    EXPECT_EQ(full.presets()[7], (ParameterPreset{"p7", withExposure(99), true}));
}

TEST_F(PresetManagerTest, OverwritingRevivesAPresetThatAppliedNothing) {
    ParameterPresetManager manager(store, {{"old", PhotoParameters::zero(), false}});
    manager.save("old", withExposure(4));
    EXPECT_TRUE(manager.presets()[0].appliesParameters);
    EXPECT_EQ(store.load().presets.size(), 1u);
}

TEST_F(PresetManagerTest, RenamingChecksIndexNameAndDuplicates) {
    ParameterPresetManager manager(store, numbered(3));
    EXPECT_EQ(manager.rename(3, "x").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(-1, "x").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(0, " \t ").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(0, "p2").kind, RenameKind::duplicate);
    const auto unchanged = manager.rename(1, " p1 ");
    EXPECT_EQ(unchanged.kind, RenameKind::unchanged);
    EXPECT_EQ(unchanged.preset, manager.presets()[1]);
    EXPECT_EQ(store.load().presets.size(), 0u); // nothing of the above was saved

    const auto renamed = manager.rename(1, "better");
    EXPECT_EQ(renamed.kind, RenameKind::renamed);
    EXPECT_EQ(renamed.previousName, "p1");
    EXPECT_EQ(renamed.preset, (ParameterPreset{"better", withExposure(1), true}));
    expectPersisted(manager);
}

TEST_F(PresetManagerTest, DeletingPicksTheNextSelection) {
    ParameterPresetManager manager(store, numbered(3));
    EXPECT_EQ(manager.remove(3), std::nullopt);
    const auto last = manager.remove(2);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->preset.name, "p2");
    EXPECT_EQ(last->nextSelectedIndex, 1);
    EXPECT_FALSE(last->isEmpty);
    EXPECT_EQ(manager.remove(0)->nextSelectedIndex, 0);
    const auto only = manager.remove(0);
    EXPECT_TRUE(only->isEmpty);
    EXPECT_EQ(only->nextSelectedIndex, 0);
    expectPersisted(manager);
    EXPECT_EQ(defaults.string(PreferenceKey::presets), ParameterPresetStore::jsonString({}));
}

TEST_F(PresetManagerTest, MovingSwapsWithTheNeighbourInsideTheList) {
    ParameterPresetManager manager(store, numbered(3));
    EXPECT_EQ(manager.move(0, ParameterPresetMoveDirection::up), std::nullopt);
    EXPECT_EQ(manager.move(2, ParameterPresetMoveDirection::down), std::nullopt);
    EXPECT_EQ(manager.move(5, ParameterPresetMoveDirection::up), std::nullopt);
    EXPECT_EQ(manager.move(0, ParameterPresetMoveDirection::down), 1);
    EXPECT_EQ(manager.move(2, ParameterPresetMoveDirection::up), 1);
    EXPECT_EQ(names(manager.presets()), (std::vector<std::string>{"p1", "p2", "p0"}));
    expectPersisted(manager);
}

TEST(ParameterPresetSaveFormState, NoticesAndSaving) {
    const auto some = numbered(3);
    const auto full = numbered(20);
    struct Case {
        const char* raw;
        const std::vector<ParameterPreset>* presets;
        std::string name;
        std::optional<int> overwriteIndex;
        std::optional<ParameterPresetSaveFormState::Notice> notice;
        bool canSave;
    };
    using N = ParameterPresetSaveFormState::Notice;
    const Case cases[] = {
        {"  ", &some, "", std::nullopt, std::nullopt, false},
        {" new\t", &some, "new", std::nullopt, std::nullopt, true},
        {"p2 ", &some, "p2", 2, N::overwrite, true},
        {"p19", &full, "p19", 19, N::overwrite, true},
        {"new", &full, "new", std::nullopt, N::limitReached, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        const ParameterPresetSaveFormState state(c.raw, *c.presets);
        EXPECT_EQ(state.name, c.name);
        EXPECT_EQ(state.overwriteIndex, c.overwriteIndex);
        EXPECT_EQ(state.notice, c.notice);
        EXPECT_EQ(state.canSave, c.canSave);
    }
}

} // namespace
} // namespace sorvin
