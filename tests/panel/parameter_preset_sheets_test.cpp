#include "panel/parameter_preset_menu.hpp"
#include "panel/parameter_preset_organizer_model.hpp"
#include "panel/parameter_preset_save_sheet_model.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sorvin {
namespace {

std::vector<ParameterPreset> presetsNamed(int count) {
    std::vector<ParameterPreset> presets;
    for (int i = 0; i < count; ++i)
        presets.push_back({fmt::format("p{}", i), PhotoParameters(), true});
    return presets;
}

TEST(ParameterPresetMenuTest, EmptyListShowsAGreyedPlaceholder) {
    using Kind = ParameterPresetMenu::Item::Kind;
    const auto items = ParameterPresetMenu::items({});
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].kind, Kind::placeholder);
    EXPECT_EQ(items[0].title, "（プリセットがありません）");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(items[1].kind, Kind::separator);
    EXPECT_EQ(items[2].title, "いまの設定を保存…");
    EXPECT_TRUE(items[2].enabled);
    EXPECT_EQ(items[3].title, "プリセットを整理…");
    EXPECT_FALSE(items[3].enabled);
}

TEST(ParameterPresetMenuTest, FirstEightPresetsGetShortcuts) {
    const auto items = ParameterPresetMenu::items(presetsNamed(20));
    ASSERT_EQ(items.size(), 23u);
    EXPECT_EQ(items[0].shortcut, "Ctrl+1");
    EXPECT_EQ(items[7].shortcut, "Ctrl+8");
    EXPECT_EQ(items[8].shortcut, "");
    EXPECT_EQ(items[11].presetIndex, 11);
    EXPECT_EQ(items[11].title, "p11");
    EXPECT_TRUE(items[22].enabled);
}

TEST(ParameterPresetSaveSheetModelTest, FieldKeepsThirtyCharacters) {
    const std::string forty(40, 'a');
    EXPECT_EQ(ParameterPresetSaveSheetModel::limitedName(forty), std::string(30, 'a'));
    // Characters, not bytes: thirty-one kana keep thirty.
    std::string kana;
    for (int i = 0; i < 31; ++i)
        kana += "あ";
    EXPECT_EQ(ParameterPresetSaveSheetModel::limitedName(kana).size(), 30u * 3);
    EXPECT_EQ(ParameterPresetSaveSheetModel::description(),
              "いま選ばれている側の125個の設定を保存します。\n回転・クロップ・ハートは保存されません。");
    using Notice = ParameterPresetSaveFormState::Notice;
    EXPECT_FALSE(ParameterPresetSaveSheetModel::noticeColor(std::nullopt));
    EXPECT_EQ(ParameterPresetSaveSheetModel::noticeColor(Notice::limitReached), (SrgbColor{255, 159, 10}));
    EXPECT_EQ(ParameterPresetSaveSheetModel::noticeColor(Notice::overwrite), (SrgbColor{152, 152, 157}));
}

// The application state's side of the organiser over a plain list with the manager's rules.
class FakeOrganizerHost final : public ParameterPresetOrganizerHost {
public:
    explicit FakeOrganizerHost(std::vector<ParameterPreset> presets) : list(std::move(presets)) {}
    const std::vector<ParameterPreset>& presets() const override { return list; }
    ParameterPresetRenameResult renamePreset(int index, std::string_view name) override {
        renames.emplace_back(name);
        using Kind = ParameterPresetRenameResult::Kind;
        if (index < 0 || index >= static_cast<int>(list.size()) || name.empty())
            return {Kind::invalid, {}, {}};
        if (list[index].name == name) return {Kind::unchanged, {}, list[index]};
        for (const auto& p : list)
            if (p.name == name) return {Kind::duplicate, {}, {}};
        std::string previous = list[index].name;
        list[index].name = std::string(name);
        return {Kind::renamed, previous, list[index]};
    }
    std::optional<ParameterPresetDeleteResult> deletePreset(int index) override {
        if (index < 0 || index >= static_cast<int>(list.size())) return std::nullopt;
        ParameterPreset removed = list[index];
        list.erase(list.begin() + index);
        const int count = static_cast<int>(list.size());
        if (list.empty()) closed = true;
        return ParameterPresetDeleteResult{removed, list.empty() ? 0 : std::min(index, count - 1),
                                           list.empty()};
    }
    std::optional<int> movePreset(int index, ParameterPresetMoveDirection direction) override {
        const int target = direction == ParameterPresetMoveDirection::up ? index - 1 : index + 1;
        const int count = static_cast<int>(list.size());
        if (index < 0 || index >= count || target < 0 || target >= count) return std::nullopt;
        std::swap(list[index], list[target]);
        return target;
    }
    void close() override { closed = true; }

    std::vector<ParameterPreset> list;
    std::vector<std::string> renames;
    bool closed = false;
};

TEST(ParameterPresetOrganizerModelTest, OnePresetCannotMoveAndDeletingItCloses) {
    FakeOrganizerHost host(presetsNamed(1));
    ParameterPresetOrganizerModel model(host);
    EXPECT_FALSE(model.canMoveUp());
    EXPECT_FALSE(model.canMoveDown());
    model.requestDeletion();
    EXPECT_EQ(model.deletionQuestion(), "「p0」を削除しますか？");
    EXPECT_FALSE(model.actionsEnabled());
    model.confirmDeletion();
    EXPECT_TRUE(host.closed);
    EXPECT_EQ(model.mode(), ParameterPresetOrganizerModel::Mode::normal);
}

TEST(ParameterPresetOrganizerModelTest, DeletionMovesTheSelection) {
    FakeOrganizerHost host(presetsNamed(3));
    ParameterPresetOrganizerModel model(host);
    model.clickRow(2);
    model.requestDeletion();
    model.confirmDeletion();
    EXPECT_EQ(model.selectedIndex(), 1);
    model.clickRow(0);
    model.requestDeletion();
    model.confirmDeletion();
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(host.list[0].name, "p1");
    // "やめる" and Esc both step back without deleting.
    model.requestDeletion();
    model.escape();
    EXPECT_EQ(host.list.size(), 1u);
    EXPECT_TRUE(model.actionsEnabled());
}

TEST(ParameterPresetOrganizerModelTest, SelectionFollowsAMovedPreset) {
    FakeOrganizerHost host(presetsNamed(3));
    ParameterPresetOrganizerModel model(host);
    model.move(ParameterPresetMoveDirection::down);
    model.move(ParameterPresetMoveDirection::down);
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_EQ(host.list[2].name, "p0");
    EXPECT_FALSE(model.canMoveDown());
    model.move(ParameterPresetMoveDirection::down);
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_EQ(ParameterPresetOrganizerModel::shortcutHint(7), "Ctrl+8");
    EXPECT_EQ(ParameterPresetOrganizerModel::shortcutHint(8), "");
}

TEST(ParameterPresetOrganizerModelTest, RenamingStaysOpenUntilTheNameIsTaken) {
    FakeOrganizerHost host(presetsNamed(3));
    ParameterPresetOrganizerModel model(host);
    model.doubleClickRow(1);
    ASSERT_TRUE(model.isRenaming(1));
    EXPECT_EQ(model.editingName(), "p1");
    EXPECT_TRUE(model.editingNameIsFocused());
    EXPECT_FALSE(model.actionsEnabled());
    // Clicks on other rows do nothing while renaming.
    model.clickRow(2);
    EXPECT_EQ(model.selectedIndex(), 1);
    model.setEditingName("p2");
    EXPECT_FALSE(model.commitRename());
    EXPECT_TRUE(model.isRenaming(1));
    EXPECT_EQ(model.editingName(), "p2");
    model.escape();
    EXPECT_FALSE(model.isRenaming(1));
    EXPECT_EQ(host.list[1].name, "p1");

    model.beginRename();
    model.setEditingName("p1");
    EXPECT_TRUE(model.commitRename());
    model.beginRename();
    model.setEditingName("新しい名前");
    EXPECT_TRUE(model.commitRename());
    EXPECT_EQ(host.list[1].name, "新しい名前");
    EXPECT_FALSE(model.editingNameIsFocused());
}

TEST(ParameterPresetOrganizerModelTest, CloseWaitsForTheNormalMode) {
    FakeOrganizerHost host(presetsNamed(2));
    ParameterPresetOrganizerModel model(host);
    model.requestDeletion();
    model.close();
    EXPECT_FALSE(host.closed);
    model.cancelDeletion();
    model.close();
    EXPECT_TRUE(host.closed);
}

TEST(ParameterPresetOrganizerModelTest, StaleDeletionIndexAsksNothing) {
    FakeOrganizerHost host(presetsNamed(2));
    ParameterPresetOrganizerModel model(host);
    model.clickRow(1);
    model.requestDeletion();
    host.list.pop_back();
    EXPECT_FALSE(model.deletionQuestionIndex());
    EXPECT_FALSE(model.canMoveUp());
    model.escape();
    EXPECT_TRUE(model.actionsEnabled());
}

} // namespace
} // namespace sorvin
