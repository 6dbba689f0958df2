// Switching a photo between its JPEG/HEIF file and its RAW file without flashing an unfinished
// image: the old source's image stays on screen until the new one is ready, fails, or two seconds
// have passed.

#include "app/app_state.hpp"
#include "model/random_parameter_adjustment.hpp"

#include <cctype>

namespace sorvin {

namespace {

std::string upperCased(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::pair<std::string, double> sourceSwitchToast(PhotoSource source, const std::string& fileExtension) {
    const std::string extension = upperCased(fileExtension);
    if (source == PhotoSource::raw) return {"RAW（" + extension + "）に切り替えました", 1.5};
    return {"JPEG/HEIF（" + extension + "）に切り替えました", 1.5};
}

PhotoSource ownSource(const Photo& photo) {
    return photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
}

} // namespace

void AppState::toggleCurrentSource() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_ || !library_)
        return;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return;
    if (photo->hasRawCompanion()) {
        const PhotoSource other =
            library_->currentSource() == PhotoSource::raw ? PhotoSource::jpeg : PhotoSource::raw;
        selectSource(other, photo->relativePath, library_->currentSlot(), true, true);
        return;
    }
    const PhotoSourceChangeResult result = library_->toggleCurrentSource();
    if (result.kind == PhotoSourceChangeResult::Kind::failed) showToasts({result.text}, 1.5);
}

bool AppState::selectSource(PhotoSource source, const std::string& path, std::optional<RetouchSlot> slot,
                            bool registersUndo, bool showsToast) {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_ || !library_)
        return false;
    const Photo* current = library_->currentPhoto();
    const RetouchSlot wantedSlot =
        slot.value_or(current && current->relativePath == path ? library_->currentSlot() : RetouchSlot::a);
    if (library_->currentCursor() != RetouchCursor{path, wantedSlot}) {
        const auto before = library_->currentCursor();
        if (!library_->jump(path, wantedSlot)) return false;
        didJump(before);
    }
    const Photo* photo = library_->currentPhoto();
    if (!photo || photo->relativePath != path) return false;
    if (!photo->hasRawCompanion() || library_->source(*photo, wantedSlot) == source) return false;

    cancelOriginalPreviewPreparation();
    imageLoader_.discardOriginalPreview();
    const bool preferFull = preferFullResolution();
    const PhotoSource oldSource = library_->source(*photo, wantedSlot);
    const double rotation = library_->rotation(*photo, wantedSlot);
    const ManualCrop crop = library_->clampedCrop(*photo, wantedSlot);

    bool startTransition = true;
    PhotoSource kept = oldSource;
    if (isSourceLoading_ && sourceLoadingPath_ == path && sourceLoadingSlot_ == wantedSlot) {
        const PhotoParameters wantedParameters = library_->parameters(*photo, wantedSlot, source);
        if (imageLoader_.isDisplayReady(*photo, source, wantedParameters, rotation, crop, preferFull)) {
            cancelSourceTransition();
            startTransition = false;
        } else {
            kept = sourceLoadingPrevious_.value_or(oldSource);
        }
    }
    if (startTransition) {
        const PhotoParameters keptParameters = library_->parameters(*photo, wantedSlot, kept);
        sourceTransitionDisplayImage_ =
            imageLoader_.adjustedImage(*photo, keptParameters, kept, rotation, crop, preferFull);
        sourceTransitionLoupeImage_ = imageLoader_.image(*photo, kept, preferFull);
        sourceTransitionParameters_ = keptParameters;
        sourceLoadingPath_ = path;
        sourceLoadingSlot_ = wantedSlot;
        sourceLoadingTarget_ = source;
        sourceLoadingPrevious_ = kept;
        isSourceLoading_ = true;
        publish(AppStateProperty::isSourceLoading);
        scheduleSourceTransitionDeadline();
    }

    const PhotoSourceChangeResult result = library_->setSource(source, *photo, wantedSlot);
    if (result.kind != PhotoSourceChangeResult::Kind::changed) {
        cancelSourceTransition();
        return false;
    }
    if (registersUndo) registerUndoChange(AppUndo::Source{path, wantedSlot, oldSource}, std::nullopt);
    imageLoader_.clearParameterImage();
    imageLoader_.clearRawDevelopmentCache();
    setParameterPage(checkedPage(parameterPage_, editTarget_, source == PhotoSource::raw));
    loadCurrentExif();
    scheduleSave();
    prefetch();
    updateFullResolutionRequest();
    refreshParameterImage();
    scheduleCurrentHistogram();
    if (showsToast) {
        const auto [message, duration] = sourceSwitchToast(result.source, result.text);
        showToasts({message}, duration);
    }
    finishSourceTransitionIfReady();
    scheduleOriginalPreviewPreparation();
    return true;
}

void AppState::scheduleSourceTransitionDeadline() {
    sourceTransitionDeadline_.cancel();
    sourceTransitionDeadline_ =
        mainQueue_.postAfter(kSourceTransitionDeadline, weakly([this] { cancelSourceTransition(); }));
}

void AppState::finishSourceTransitionIfReady() {
    if (!isSourceLoading_ || !library_ || !sourceLoadingPath_ || !sourceLoadingTarget_ || !sourceLoadingSlot_)
        return;
    const Photo* photo = library_->currentPhoto();
    if (!photo || *sourceLoadingPath_ != photo->relativePath ||
        *sourceLoadingSlot_ != library_->currentSlot() || *sourceLoadingTarget_ != library_->currentSource())
        return;
    const PhotoSource target = *sourceLoadingTarget_;
    if (imageLoader_.failures().contains(ImageCacheKey{photo->relativePath, target})) {
        if (target == PhotoSource::raw) {
            // The RAW file cannot be read: back to the JPEG, without an undo step.
            library_->setSource(PhotoSource::jpeg, *photo, library_->currentSlot());
            imageLoader_.clearParameterImage();
            cancelSourceTransition();
            scheduleSave();
            prefetch();
            loadCurrentExif();
            updateFullResolutionRequest();
            refreshParameterImage();
            scheduleCurrentHistogram();
            showToasts({"この RAW は読み込めませんでした。JPEG に戻します"}, 2.5);
        } else {
            cancelSourceTransition();
        }
        return;
    }
    const RetouchSlot slot = library_->currentSlot();
    if (imageLoader_.isDisplayReady(*photo, target, library_->currentParameters(),
                                    library_->rotation(*photo, slot), library_->clampedCrop(*photo, slot),
                                    preferFullResolution()))
        cancelSourceTransition();
}

void AppState::cancelSourceTransition() {
    sourceTransitionDeadline_.cancel();
    sourceTransitionDeadline_ = {};
    sourceLoadingPath_.reset();
    sourceLoadingSlot_.reset();
    sourceLoadingTarget_.reset();
    sourceLoadingPrevious_.reset();
    sourceTransitionDisplayImage_.reset();
    sourceTransitionLoupeImage_.reset();
    sourceTransitionParameters_.reset();
    if (isSourceLoading_) {
        isSourceLoading_ = false;
        publish(AppStateProperty::isSourceLoading);
    }
}

bool AppState::transitionApplies(const Photo& photo) const {
    if (!isSourceLoading_ || sourceLoadingPath_ != photo.relativePath) return false;
    return library_ ? sourceLoadingSlot_ == library_->currentSlot() : !sourceLoadingSlot_;
}

SharedImage AppState::displayImage(const Photo& photo, bool preferFullResolution) const {
    if (transitionApplies(photo)) return sourceTransitionDisplayImage_;
    if (!library_)
        return imageLoader_.adjustedImage(photo, displayedParameters(photo), ownSource(photo), 0,
                                          ManualCrop{}, preferFullResolution);
    const RetouchSlot slot = library_->currentSlot();
    return imageLoader_.adjustedImage(photo, displayedParameters(photo), library_->currentSource(),
                                      library_->rotation(photo, slot), library_->clampedCrop(photo, slot),
                                      preferFullResolution);
}

PhotoSource AppState::displayedSource(const Photo& photo) const {
    if (transitionApplies(photo) && sourceLoadingPrevious_) return *sourceLoadingPrevious_;
    return library_ ? library_->currentSource() : ownSource(photo);
}

PhotoParameters AppState::displayedParameters(const Photo& photo) const {
    if (transitionApplies(photo) && sourceTransitionParameters_) return *sourceTransitionParameters_;
    PhotoParameters parameters = library_ ? library_->currentParameters() : PhotoParameters::zero();
    return showingOriginal_ ? originalPhotoParameters(parameters) : parameters;
}

} // namespace sorvin
