// The loupe, the modifier keys of the browsing screen, the canvas zoom and the full-size decode.

#include "app/app_state.hpp"
#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_settings.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {
constexpr double kMaximumZoom = 8;
} // namespace

bool AppState::preferFullResolution() const {
    return !lowMemoryMode_ || showsFullResolution();
}

bool AppState::showsFullResolution() const {
    return loupeOn_ || (library_ && library_->zoomState().scale > 1.0);
}

bool AppState::loupeButtonIsEnabled() const {
    if (screen_ != AppScreen::select || isSourceLoading_ || !library_) return false;
    const Photo* photo = library_->currentPhoto();
    return photo && displayImage(*photo, false) && library_->zoomState().scale == 1;
}

void AppState::toggleLoupe() {
    if (screen_ != AppScreen::select || isModalExportPresented()) return;
    const bool value = loupeButtonIsEnabled() ? !loupeOn_ : loupeOn_;
    if (value == loupeOn_) return;
    loupeOn_ = value;
    publish(AppStateProperty::loupeOn);
    updateFullResolutionRequest();
}

void AppState::handleModifierFlags(ModifierKeys flags) {
    handleCommandCheatSheetModifierFlags(flags);
    const bool interactive =
        screen_ == AppScreen::select && !isModalExportPresented() && !adjustmentInputIsFocused_;

    heldModifiers_ = flags;
    followOriginalPreviewHold();

    // Option toggles once per press, on the press, and only when pressed alone.
    bool loupe = loupeOn_;
    const bool optionAlone = flags.contains(ModifierKey::option) && !flags.contains(ModifierKey::shift) &&
                             !flags.contains(ModifierKey::command) && !flags.contains(ModifierKey::control);
    if (interactive && optionAlone && !optionWasPressed_ && loupeButtonIsEnabled()) loupe = !loupe;
    optionWasPressed_ = flags.contains(ModifierKey::option);
    if (loupe != loupeOn_) {
        loupeOn_ = loupe;
        publish(AppStateProperty::loupeOn);
        updateFullResolutionRequest();
    }
}

void AppState::setZoomScale(double scale, Point anchor, Size viewportSize, Size fittedImageSize) {
    if (!library_) return;
    const double oldScale = library_->zoomState().scale;
    double newScale = std::isnan(scale) || scale <= 1 ? 1 : std::min(scale, kMaximumZoom);
    ZoomState zoom;
    if (newScale > 1) {
        const ZoomState old = library_->zoomState();
        const double ratio = newScale / oldScale;
        const double ax = anchor.x - viewportSize.width / 2;
        const double ay = anchor.y - viewportSize.height / 2;
        const double limitX = std::max(0.0, (fittedImageSize.width * newScale - viewportSize.width) / 2);
        const double limitY = std::max(0.0, (fittedImageSize.height * newScale - viewportSize.height) / 2);
        zoom.scale = newScale;
        zoom.offset.width = std::clamp(ax - (ax - old.offset.width) * ratio, -limitX, limitX);
        zoom.offset.height = std::clamp(ay - (ay - old.offset.height) * ratio, -limitY, limitY);
    }
    library_->setZoomState(zoom);
    if (oldScale == 1 && newScale != 1) {
        if (loupeOn_) {
            loupeOn_ = false;
            publish(AppStateProperty::loupeOn);
        }
        updateFullResolutionRequest();
    }
    updateFullResolutionRequest();
}

void AppState::updateFullResolutionRequest() {
    const Photo* photo = screen_ == AppScreen::select && library_ ? library_->currentPhoto() : nullptr;
    if (photo && preferFullResolution())
        imageLoader_.requestFullResolution(*photo, library_->currentSource());
    else
        imageLoader_.cancelFullResolutionLoading();
    refreshParameterImage();
}

SharedImage AppState::loupeSourceImage(const Photo& photo, bool preferFullResolution) const {
    if (isSourceLoading_ && sourceLoadingPath_ == photo.relativePath) return sourceTransitionLoupeImage_;
    const PhotoSource source =
        library_ ? library_->currentSource()
                 : (photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg);
    if (source == PhotoSource::raw && loupeOn_ && library_) {
        if (auto developed = fullResolutionRawCache_->result(FullResolutionRawCacheKey{
                photo.relativePath, RawDevelopmentSettings(library_->currentParameters())}))
            return developed->image;
    }
    return imageLoader_.image(photo, source, preferFullResolution);
}

} // namespace sorvin
