// Copies B of the current photo.

#include "app/app_state.hpp"

namespace sorvin {

void AppState::createRetouchDuplicate() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_ || !library_)
        return;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return;
    const std::string path = photo->relativePath;
    const auto before = library_->currentCursor();
    switch (library_->createRetouchDuplicate().kind) {
    case RetouchDuplicateCreationResult::Kind::created:
        registerUndoChange(AppUndo::RetouchCreated{path}, std::nullopt);
        didJump(before);
        scheduleSave();
        break;
    case RetouchDuplicateCreationResult::Kind::alreadyExists:
        showToasts({"複製は1つまでです"}, 1.5);
        break;
    case RetouchDuplicateCreationResult::Kind::unavailable:
        break;
    }
}

void AppState::deleteRetouchDuplicate() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_ || !library_)
        return;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return;
    const std::string path = photo->relativePath;
    if (library_->currentSlot() != RetouchSlot::b) {
        showToasts({"削除できるのは複製（B）だけです"}, 1.5);
        return;
    }
    const auto before = library_->currentCursor();
    std::optional<RetouchState> removed = library_->deleteCurrentRetouchDuplicate();
    if (!removed) return;
    registerUndoChange(AppUndo::RetouchDeleted{path, std::move(*removed)}, std::nullopt);
    didJump(before);
    scheduleSave();
}

} // namespace sorvin
