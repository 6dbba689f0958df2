// The unedited original shown while Control is held, prepared in the background shortly after
// anything that changes how it would look.

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

std::optional<AppState::OriginalPreviewContext> AppState::currentOriginalPreviewContext() const {
    if (!library_) return std::nullopt;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return std::nullopt;
    const RetouchSlot slot = library_->currentSlot();
    const double zoom = library_->zoomState().scale;
    return OriginalPreviewContext{*photo,
                                  library_->currentParameters(),
                                  library_->currentSource(),
                                  library_->rotation(*photo, slot),
                                  library_->clampedCrop(*photo, slot),
                                  lowMemoryMode_ && (zoom > 1.0 || loupeOn_),
                                  photoAreaLongEdge_,
                                  photoAreaBackingScaleFactor_,
                                  zoom};
}

void AppState::configureCurrentOriginalPreview() {
    if (screen_ != AppScreen::select) return;
    const auto context = currentOriginalPreviewContext();
    if (!context) return;
    imageLoader_.recordOriginalPreviewContext(context->photo, context->parameters, context->source,
                                              context->rotation, context->crop, context->preferFullResolution,
                                              context->photoAreaLongEdge, context->backingScaleFactor,
                                              context->zoomScale);
}

void AppState::cancelOriginalPreviewPreparation() {
    if (originalPreviewPreparationTimer_) originalPreviewPreparationTimer_->cancel();
    originalPreviewPreparationTimer_.reset();
}

void AppState::scheduleOriginalPreviewPreparation() {
    cancelOriginalPreviewPreparation();
    if (screen_ != AppScreen::select || showingOriginal_ || isSourceLoading_) return;
    originalPreviewPreparationTimer_ =
        mainQueue_.postAfter(kOriginalPreviewDelay, weakly([this] {
                                 originalPreviewPreparationTimer_.reset();
                                 const auto context = currentOriginalPreviewContext();
                                 if (!context) return;
                                 imageLoader_.prepareOriginalPreview(
                                     context->photo, context->parameters, context->source, context->rotation,
                                     context->crop, context->preferFullResolution, context->photoAreaLongEdge,
                                     context->backingScaleFactor, context->zoomScale);
                             }));
}

} // namespace sorvin
