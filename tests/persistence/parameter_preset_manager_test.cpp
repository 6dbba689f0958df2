#include "persistence/parameter_preset_manager.hpp"
#include "persistence/parameter_preset_save_form_state.hpp"
#include "persistence/preference_key.hpp"

#include "support/test_support.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <thread>

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
    // A manager as the program makes one: over the presets stored.
    ParameterPresetManager over(const std::vector<ParameterPreset>& presets) {
        store.save(presets);
        return ParameterPresetManager(store, store.load().presets);
    }

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
    ParameterPresetManager full = over(numbered(20));
    EXPECT_EQ(full.save("new", withExposure(1)).kind, SaveKind::unavailable);
    EXPECT_EQ(full.save("p7", withExposure(99)).kind, SaveKind::overwritten);
    EXPECT_EQ(full.presets().size(), 20u);
    EXPECT_EQ(full.presets()[7], (ParameterPreset{"p7", withExposure(99), true}));
}

TEST_F(PresetManagerTest, OverwritingRevivesAPresetThatAppliedNothing) {
    defaults.set(PreferenceKey::presets,
                 R"({"version": 1, "presets": [{"name": "old", "parameters": {"cRd": 5}}]})");
    ParameterPresetManager manager(store, store.load().presets);
    ASSERT_FALSE(manager.presets()[0].appliesParameters);
    manager.save("old", withExposure(4));
    EXPECT_TRUE(manager.presets()[0].appliesParameters);
    EXPECT_EQ(store.load().presets.size(), 1u);
}

TEST_F(PresetManagerTest, RenamingChecksIndexNameAndDuplicates) {
    ParameterPresetManager manager = over(numbered(3));
    EXPECT_EQ(manager.rename(3, "x").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(-1, "x").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(0, " \t ").kind, RenameKind::invalid);
    EXPECT_EQ(manager.rename(0, "p2").kind, RenameKind::duplicate);
    const auto unchanged = manager.rename(1, " p1 ");
    EXPECT_EQ(unchanged.kind, RenameKind::unchanged);
    EXPECT_EQ(unchanged.preset, manager.presets()[1]);
    EXPECT_EQ(store.load().presets, numbered(3)); // nothing of the above was saved

    const auto renamed = manager.rename(1, "better");
    EXPECT_EQ(renamed.kind, RenameKind::renamed);
    EXPECT_EQ(renamed.previousName, "p1");
    EXPECT_EQ(renamed.preset, (ParameterPreset{"better", withExposure(1), true}));
    expectPersisted(manager);
}

TEST_F(PresetManagerTest, DeletingPicksTheNextSelection) {
    ParameterPresetManager manager = over(numbered(3));
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
    ParameterPresetManager manager = over(numbered(3));
    EXPECT_EQ(manager.move(0, ParameterPresetMoveDirection::up), std::nullopt);
    EXPECT_EQ(manager.move(2, ParameterPresetMoveDirection::down), std::nullopt);
    EXPECT_EQ(manager.move(5, ParameterPresetMoveDirection::up), std::nullopt);
    EXPECT_EQ(manager.move(0, ParameterPresetMoveDirection::down), 1);
    EXPECT_EQ(manager.move(2, ParameterPresetMoveDirection::up), 1);
    EXPECT_EQ(names(manager.presets()), (std::vector<std::string>{"p1", "p2", "p0"}));
    expectPersisted(manager);
}

// Two copies of the program on one preferences file, each with its own list of presets.
struct TwoCopies {
    explicit TwoCopies(std::filesystem::path path) : file(std::move(path)) {}
    std::filesystem::path file;
    DefaultsStore firstDefaults{file};
    ParameterPresetStore firstStore{firstDefaults};
    ParameterPresetManager first{firstStore, firstStore.load().presets};
    DefaultsStore secondDefaults{file};
    ParameterPresetStore secondStore{secondDefaults};
    ParameterPresetManager second{secondStore, secondStore.load().presets};

    std::vector<ParameterPreset> onDisk() const {
        DefaultsStore reopened(file);
        return ParameterPresetStore(reopened).load().presets;
    }
    // Each copy's changes written, and the list each holds then taken in.
    void written() {
        firstDefaults.waitUntilWritten();
        secondDefaults.waitUntilWritten();
        first.reload();
        second.reload();
    }
};

// Each change of one copy is made over the presets the other wrote, preset by preset, and an
// unrelated setting of one wipes nothing of the other's.
TEST(PresetManagerCopies, ChangesOfBothCopiesAreKept) {
    test::TemporaryFolder folder;
    TwoCopies copies(folder / "preferences.json");
    copies.first.save("a", withExposure(1));
    copies.first.save("b", withExposure(2));
    copies.written();
    copies.second.save("fromB", withExposure(3)); // its list had neither a nor b
    EXPECT_EQ(names(copies.second.presets()), (std::vector<std::string>{"fromB"})) << "until written";
    copies.written();
    EXPECT_EQ(names(copies.second.presets()), (std::vector<std::string>{"a", "b", "fromB"}));
    copies.firstDefaults.set(PreferenceKey::showGrid, false);
    copies.secondDefaults.set(PreferenceKey::lowMemoryMode, true);
    copies.firstDefaults.set(PreferenceKey::includeSubfolders, false);
    copies.written();
    EXPECT_EQ(names(copies.onDisk()), (std::vector<std::string>{"a", "b", "fromB"}));
    DefaultsStore reopened(copies.file);
    EXPECT_FALSE(reopened.boolValue(PreferenceKey::showGrid));
    EXPECT_TRUE(reopened.boolValue(PreferenceKey::lowMemoryMode));
    EXPECT_EQ(reopened.object(PreferenceKey::includeSubfolders), std::optional<DefaultsValue>(false));

    copies.first.rename(0, "a2");
    EXPECT_EQ(names(copies.first.presets()), (std::vector<std::string>{"a2", "b", "fromB"}));
    copies.written();
    // The second copy has not read the rename: it deletes b by its own list.
    const auto removed = copies.second.remove(1);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->preset.name, "b");
    copies.written();
    // Deleted in the other copy, b stays deleted: moving it (by the list this copy read last)
    // changes nothing.
    EXPECT_EQ(names(copies.first.presets()), (std::vector<std::string>{"a2", "b", "fromB"}));
    copies.first.move(1, ParameterPresetMoveDirection::up);
    copies.written();
    EXPECT_EQ(names(copies.onDisk()), (std::vector<std::string>{"a2", "fromB"}));
    EXPECT_EQ(names(copies.first.presets()), (std::vector<std::string>{"a2", "fromB"}));
    // The second copy moves fromB before a2 and overwrites a2.
    copies.second.save("x", withExposure(5));
    copies.written();
    EXPECT_EQ(copies.second.move(1, ParameterPresetMoveDirection::up), 0);
    copies.written();
    EXPECT_EQ(copies.second.save("a2", withExposure(9)).kind, SaveKind::overwritten);
    copies.written();
    // A rename to a name the other copy gave meanwhile (unknown to this copy) is not made: both
    // presets stay.
    EXPECT_EQ(copies.first.rename(1, "x").kind, RenameKind::renamed);
    // Saving a deleted name brings it back.
    copies.first.save("b", withExposure(7));
    copies.written();
    const auto stored = copies.onDisk();
    EXPECT_EQ(names(stored), (std::vector<std::string>{"fromB", "a2", "x", "b"}));
    EXPECT_EQ(stored[1].parameters, withExposure(9));
    EXPECT_EQ(stored[2].parameters, withExposure(5));
    EXPECT_EQ(copies.first.presets(), stored);
}

// Both copies saving and deleting presets at once: every change of each is in the file.
TEST(PresetManagerCopies, ChangesMadeAtOnceAreAllKept) {
    test::TemporaryFolder folder;
    TwoCopies copies(folder / "preferences.json");
    const auto work = [](ParameterPresetManager& manager, DefaultsStore& defaults, const std::string& prefix) {
        for (int i = 0; i < 10; ++i) {
            manager.save(fmt::format("{}{}", prefix, i), withExposure(i));
            defaults.set(prefix + "setting", i);
        }
        // Deletes its own first two presets, found by name in its list as it is now.
        for (const std::string& name : {prefix + "0", prefix + "1"}) {
            const auto& presets = manager.presets();
            const auto it = std::find_if(presets.begin(), presets.end(),
                                         [&](const ParameterPreset& p) { return p.name == name; });
            ASSERT_NE(it, presets.end()) << name;
            manager.remove(static_cast<int>(it - presets.begin()));
        }
    };
    std::thread other([&] { work(copies.second, copies.secondDefaults, "second"); });
    work(copies.first, copies.firstDefaults, "first");
    other.join();
    copies.written();

    auto stored = names(copies.onDisk());
    std::sort(stored.begin(), stored.end());
    std::vector<std::string> expected;
    for (const std::string prefix : {"first", "second"})
        for (int i = 2; i < 10; ++i)
            expected.push_back(fmt::format("{}{}", prefix, i));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stored, expected);
    DefaultsStore reopened(copies.file);
    EXPECT_EQ(reopened.object("firstsetting"), std::optional<DefaultsValue>(9));
    EXPECT_EQ(reopened.object("secondsetting"), std::optional<DefaultsValue>(9));
}

// Another copy has filled the list since this one read it: a new name saved meanwhile is not kept
// when written, the list becomes the full one, a new name is refused from then on, and overwriting
// one of its presets still works.
TEST(PresetManagerCopies, ANewNameIsNotKeptWhereAnotherCopyFilledTheList) {
    test::TemporaryFolder folder;
    TwoCopies copies(folder / "preferences.json");
    copies.first.save("mine", withExposure(1));
    copies.written();
    for (int i = 0; i < 19; ++i)
        copies.second.save(fmt::format("p{}", i), withExposure(i));
    copies.written();
    ASSERT_EQ(copies.second.presets().size(), ParameterPresetStore::maxPresets);
    copies.first.save("new", withExposure(5));
    copies.written();
    EXPECT_EQ(copies.first.presets(), copies.onDisk());
    EXPECT_EQ(copies.first.presets().size(), ParameterPresetStore::maxPresets);
    EXPECT_EQ(copies.first.save("new", withExposure(5)).kind, SaveKind::unavailable);
    EXPECT_EQ(copies.first.save("p3", withExposure(50)).kind, SaveKind::overwritten);
    copies.written();
    EXPECT_EQ(copies.onDisk()[4].parameters, withExposure(50));
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
