// Masks of the current parameter set, the edit target and the page the panel shows.

#include "app/app_state.hpp"

namespace sorvin {

void AppState::selectParameterTab(int pageRawValue) {
    const std::optional<ParameterLetterPage> letter = ParameterLetterPages::fromRawValue(pageRawValue);
    if (!letter) return;
    const ParameterPage page = ParameterPage::letter(*letter);
    if (!pageMayStay(page, editTarget_, currentPhotoIsRaw())) return;
    setParameterPage(page);
}

void AppState::selectEditTarget(ParameterEditTarget target) {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    if (auto index = target.maskIndex()) {
        const int count = static_cast<int>(library_->currentParameters().masks.size());
        if (*index < 0 || *index >= count) return;
    }
    setEditTarget(target);
    setParameterPage(checkedPage(parameterPage_, editTarget_, currentPhotoIsRaw()));
}

void AppState::presentMaskAddition() {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    if (library_->currentParameters().masks.size() >= maximumMaskCount) return;
    setMaskAddPresented(true);
}

void AppState::addMask(const MaskKind& kind) {
    if (!isMaskAddPresented_ || !library_ || !library_->currentPhoto()) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    const std::optional<int> index = library_->appendCurrentMask(kind);
    if (!index) return;
    registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                       AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                        AppUndoParameterSubject::all(), captured.target));
    setMaskAddPresented(false);
    setEditTarget(ParameterEditTarget::mask(*index));
    setParameterPage(checkedPage(parameterPage_, editTarget_, currentPhotoIsRaw()));
    developmentFollowUp();
}

bool AppState::deleteCurrentMask(int index) {
    if (!editGuard()) return false;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (!library_->removeCurrentMask(index)) return false;
    registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                       AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                        AppUndoParameterSubject::all(), captured.target));
    setEditTarget(ParameterEditTarget::global());
    setParameterPage(checkedPage(parameterPage_, editTarget_, currentPhotoIsRaw()));
    developmentFollowUp();
    return true;
}

void AppState::setCurrentMaskShapeValues(const std::vector<std::pair<PhotoParameter, int>>& values) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (!library_->setCurrentMaskShapeValues(values, editTarget_).changed) return;
    // A whole drag, whose updates come less than the coalescing window apart, is one step.
    registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                       AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                        AppUndoParameterSubject::maskShape(),
                                                        captured.target));
    developmentFollowUp();
}

} // namespace sorvin
