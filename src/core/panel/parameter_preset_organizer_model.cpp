#include "panel/parameter_preset_organizer_model.hpp"

#include "panel/parameter_preset_menu.hpp"
#include "panel/parameter_preset_save_sheet_model.hpp"

namespace sorvin {

void ParameterPresetOrganizerModel::setEditingName(std::string_view text) {
    editingName_ = ParameterPresetSaveSheetModel::limitedName(text);
}

void ParameterPresetOrganizerModel::clickRow(int index) {
    if (mode_ == Mode::normal) selectedIndex_ = index;
}

void ParameterPresetOrganizerModel::doubleClickRow(int index) {
    if (mode_ != Mode::normal) return;
    selectedIndex_ = index;
    beginRename();
}

void ParameterPresetOrganizerModel::beginRename() {
    if (mode_ != Mode::normal || !isValid(selectedIndex_)) return;
    editingName_ = host_.presets()[static_cast<std::size_t>(selectedIndex_)].name;
    mode_ = Mode::renaming;
    modeIndex_ = selectedIndex_;
    editingNameIsFocused_ = true;
}

bool ParameterPresetOrganizerModel::commitRename() {
    if (mode_ != Mode::renaming) return false;
    const auto result = host_.renamePreset(modeIndex_, editingName_);
    using Kind = ParameterPresetRenameResult::Kind;
    if (result.kind != Kind::renamed && result.kind != Kind::unchanged) return false;
    editingNameIsFocused_ = false;
    mode_ = Mode::normal;
    return true;
}

void ParameterPresetOrganizerModel::cancelRenameIfNeeded() {
    if (mode_ != Mode::renaming) return;
    editingNameIsFocused_ = false;
    mode_ = Mode::normal;
}

void ParameterPresetOrganizerModel::move(ParameterPresetMoveDirection direction) {
    if (mode_ != Mode::normal) return;
    if (const auto moved = host_.movePreset(selectedIndex_, direction)) selectedIndex_ = *moved;
}

void ParameterPresetOrganizerModel::requestDeletion() {
    if (mode_ != Mode::normal) return;
    mode_ = Mode::confirmingDeletion;
    modeIndex_ = selectedIndex_;
}

void ParameterPresetOrganizerModel::cancelDeletion() {
    if (mode_ == Mode::confirmingDeletion) mode_ = Mode::normal;
}

void ParameterPresetOrganizerModel::confirmDeletion() {
    if (mode_ != Mode::confirmingDeletion) return;
    const auto result = host_.deletePreset(modeIndex_);
    if (!result) return;
    mode_ = Mode::normal;
    if (!result->isEmpty) selectedIndex_ = result->nextSelectedIndex;
}

void ParameterPresetOrganizerModel::escape() {
    if (mode_ == Mode::renaming)
        cancelRenameIfNeeded();
    else if (mode_ == Mode::confirmingDeletion)
        mode_ = Mode::normal;
}

void ParameterPresetOrganizerModel::close() {
    if (mode_ == Mode::normal) host_.close();
}

std::optional<int> ParameterPresetOrganizerModel::deletionQuestionIndex() const {
    if (mode_ != Mode::confirmingDeletion || !isValid(modeIndex_)) return std::nullopt;
    return modeIndex_;
}

std::string ParameterPresetOrganizerModel::deletionQuestion() const {
    const auto index = deletionQuestionIndex();
    if (!index) return {};
    return "「" + host_.presets()[static_cast<std::size_t>(*index)].name + "」を削除しますか？";
}

std::string ParameterPresetOrganizerModel::shortcutHint(int index) {
    return index >= 0 && index < ParameterPresetMenu::shortcutCount ? "Ctrl+" + std::to_string(index + 1)
                                                                    : std::string();
}

} // namespace sorvin
