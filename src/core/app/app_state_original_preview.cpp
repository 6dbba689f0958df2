// The unedited original shown while Meta or the original preview key is held, prepared in the
// background shortly after anything that changes how it would look.

#include "app/app_state.hpp"

namespace sorvin {

void AppState::setShowingOriginal(bool on) {
    if (on == showingOriginal_) return;
    showingOriginal_ = on;
    publish(AppStateProperty::showingOriginal);
    if (on) {
        configureCurrentOriginalPreview();
        imageLoader_.beginOriginalPreview();
    } else {
        imageLoader_.endOriginalPreview();
    }
    refreshParameterImage();
    scheduleCurrentHistogram();
}

void AppState::holdOriginalPreviewKey(bool held) {
    originalPreviewKeyHeld_ = held;
    followOriginalPreviewHold();
}

void AppState::followOriginalPreviewHold() {
    const bool held = heldModifiers_ == ModifierKeys(ModifierKey::control) ||
                      (originalPreviewKeyHeld_ && heldModifiers_ == ModifierKeys());
    setShowingOriginal(held && screen_ == AppScreen::select && !isModalExportPresented() &&
                       !adjustmentInputIsFocused_ && !isSourceLoading_ && library_ &&
                       library_->currentPhoto());
}

// Hands the loader the preview context of the current photo: recorded only, or also prepared.
void AppState::sendOriginalPreviewContext(bool prepare) {
    const Photo* photo = library_ ? library_->currentPhoto() : nullptr;
    if (!photo) return;
    const RetouchSlot slot = library_->currentSlot();
    const double zoom = library_->zoomState().scale;
    // Only low-memory mode makes the preview wait for a full-size decode.
    const bool preferFull = lowMemoryMode_ && (zoom > 1.0 || loupeOn_);
    auto send = prepare ? &ImageLoader::prepareOriginalPreview : &ImageLoader::recordOriginalPreviewContext;
    (imageLoader_.*send)(*photo, library_->currentParameters(), library_->currentSource(),
                         library_->rotation(*photo, slot), library_->clampedCrop(*photo, slot), preferFull,
                         photoAreaLongEdge_, photoAreaBackingScaleFactor_, zoom);
}

void AppState::configureCurrentOriginalPreview() {
    if (screen_ == AppScreen::select) sendOriginalPreviewContext(false);
}

void AppState::cancelOriginalPreviewPreparation() {
    if (originalPreviewPreparationTimer_) originalPreviewPreparationTimer_->cancel();
    originalPreviewPreparationTimer_.reset();
}

void AppState::scheduleOriginalPreviewPreparation() {
    cancelOriginalPreviewPreparation();
    if (screen_ != AppScreen::select || showingOriginal_ || isSourceLoading_) return;
    originalPreviewPreparationTimer_ = mainQueue_.postAfter(kOriginalPreviewDelay, weakly([this] {
                                                                originalPreviewPreparationTimer_.reset();
                                                                sendOriginalPreviewContext(true);
                                                            }));
}

} // namespace sorvin
