// When holding Command shows the command cheat sheet.

#include "app/app_state.hpp"

namespace sorvin {

bool AppState::commandCheatSheetIsAllowed() const {
    return screen_ == AppScreen::select && !isModalExportPresented() && !adjustmentInputIsFocused_;
}

void AppState::handleCommandCheatSheetModifierFlags(ModifierKeys flags) {
    if (commandCheatSheetTimer_) {
        commandCheatSheetTimer_->cancel();
        commandCheatSheetTimer_.reset();
    }
    commandWasPressed_ = flags.contains(ModifierKey::command);
    if (commandWasPressed_ && commandCheatSheetIsAllowed()) {
        // A sheet already shown stays shown while other modifiers change.
        commandCheatSheetTimer_ =
            mainQueue_.postAfter(kCheatSheetDelay, weakly([this] {
                                     commandCheatSheetTimer_.reset();
                                     const bool visible = commandWasPressed_ && commandCheatSheetIsAllowed();
                                     if (visible != isCommandCheatSheetVisible_) {
                                         // It names the presets of keys 1 to 8 as stored now.
                                         if (visible) refreshStoredPreferences();
                                         isCommandCheatSheetVisible_ = visible;
                                         publish(AppStateProperty::isCommandCheatSheetVisible);
                                     }
                                 }));
        return;
    }
    if (isCommandCheatSheetVisible_) {
        isCommandCheatSheetVisible_ = false;
        publish(AppStateProperty::isCommandCheatSheetVisible);
    }
}

void AppState::resetCommandCheatSheetTracking() {
    if (commandCheatSheetTimer_) {
        commandCheatSheetTimer_->cancel();
        commandCheatSheetTimer_.reset();
    }
    commandWasPressed_ = false;
    if (isCommandCheatSheetVisible_) {
        isCommandCheatSheetVisible_ = false;
        publish(AppStateProperty::isCommandCheatSheetVisible);
    }
}

} // namespace sorvin
