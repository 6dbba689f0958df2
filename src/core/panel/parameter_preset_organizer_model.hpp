#pragma once

#include "persistence/parameter_preset.hpp"
#include "persistence/parameter_preset_manager.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// What the organiser sheet asks of the application state.
class ParameterPresetOrganizerHost {
public:
    virtual ~ParameterPresetOrganizerHost() = default;
    virtual const std::vector<ParameterPreset>& presets() const = 0;
    virtual ParameterPresetRenameResult renamePreset(int index, std::string_view name) = 0;
    virtual std::optional<ParameterPresetDeleteResult> deletePreset(int index) = 0;
    virtual std::optional<int> movePreset(int index, ParameterPresetMoveDirection direction) = 0;
    // Closes the sheet.
    virtual void close() = 0;
};

// The organiser sheet's state: a selected row and a mode, normal, renaming one row or confirming
// the deletion of one row. Indices are checked before use; the host checks them again.
class ParameterPresetOrganizerModel {
public:
    enum class Mode { normal, renaming, confirmingDeletion };
    static constexpr std::string_view title = "プリセットの整理";
    // An enabled button shows at this opacity while it is pressed.
    static constexpr double pressedButtonOpacity = 0.8;

    explicit ParameterPresetOrganizerModel(ParameterPresetOrganizerHost& host) : host_(host) {}

    Mode mode() const { return mode_; }
    // The row being renamed or whose deletion is being confirmed.
    int modeIndex() const { return modeIndex_; }
    int selectedIndex() const { return selectedIndex_; }
    const std::string& editingName() const { return editingName_; }
    bool editingNameIsFocused() const { return editingNameIsFocused_; }
    bool isRenaming(int index) const { return mode_ == Mode::renaming && modeIndex_ == index; }

    // The rename field keeps the first 30 characters of what is typed or pasted.
    void setEditingName(std::string_view text);

    // Row clicks act only in the normal mode; a double click also starts renaming.
    void clickRow(int index);
    void doubleClickRow(int index);
    void beginRename();
    // Return in the rename field: true when renaming ended (renamed, or the name was unchanged).
    bool commitRename();
    // A click outside the rename field, or Esc in it, ends renaming without saving.
    void cancelRenameIfNeeded();
    void move(ParameterPresetMoveDirection direction);
    void requestDeletion();
    void cancelDeletion();
    void confirmDeletion();
    // Esc anywhere in the sheet.
    void escape();
    void close();

    bool canMoveUp() const { return mode_ == Mode::normal && selectedIndex_ >= 1; }
    bool canMoveDown() const { return mode_ == Mode::normal && selectedIndex_ < presetCount() - 1; }
    // "名前を変更", "削除" and "閉じる".
    bool actionsEnabled() const { return mode_ == Mode::normal; }
    // The row whose deletion is asked about, when it exists.
    std::optional<int> deletionQuestionIndex() const;
    // "「name」を削除しますか？"
    std::string deletionQuestion() const;
    // "Ctrl+1" … "Ctrl+8" beside the first eight rows; empty for the rest.
    static std::string shortcutHint(int index);

private:
    int presetCount() const { return static_cast<int>(host_.presets().size()); }
    bool isValid(int index) const { return index >= 0 && index < presetCount(); }

    ParameterPresetOrganizerHost& host_;
    int selectedIndex_ = 0;
    Mode mode_ = Mode::normal;
    int modeIndex_ = 0;
    std::string editingName_;
    bool editingNameIsFocused_ = false;
};

} // namespace sorvin
