// The requests the application state makes of the image loader, in one place.

#include "app/app_state.hpp"
#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_cache.hpp"

namespace sorvin {

void AppState::refreshParameterImage() {
    const Photo* photo = library_ ? library_->currentPhoto() : nullptr;
    if (!photo) {
        loaderDiscardFullResolutionRaw();
        loaderClearParameterImage();
        return;
    }
    const PhotoParameters parameters = library_->currentParameters();
    const PhotoSource source = library_->currentSource();
    if (source == PhotoSource::raw) loaderUpdateFullResolutionRaw(*photo, parameters, loupeOn_);
    const RetouchSlot slot = library_->currentSlot();
    loaderRequestParameters(*photo, parameters, source, library_->rotation(*photo, slot),
                            library_->clampedCrop(*photo, slot), preferFullResolution());
    finishSourceTransitionIfReady();
}

void AppState::loaderEndOriginalPreview() {}

void AppState::loaderBeginOriginalPreview() {}

void AppState::loaderDiscardOriginalPreview() {}

void AppState::loaderRecordOriginalPreviewContext(const OriginalPreviewContext& context) {
    recordedOriginalPreviewContext_ = context;
}

void AppState::loaderPrepareOriginalPreview(const OriginalPreviewContext& context) {
    recordedOriginalPreviewContext_ = context;
}

void AppState::loaderCancelAll() {}

void AppState::loaderDiscardFullResolutionRaw() {
    fullResolutionRawCache_->clear();
}

void AppState::loaderClearParameterImage() {}

void AppState::loaderClearRawDevelopmentCache() {}

void AppState::loaderPrefetch(const std::vector<Photo>&, int, const PathMap<PhotoSource>&,
                              std::optional<int>) {}

void AppState::loaderRequestParameters(const Photo&, const PhotoParameters&, PhotoSource, double,
                                       const ManualCrop&, bool) {}

void AppState::loaderUpdateFullResolutionRaw(const Photo&, const PhotoParameters&, bool) {}

void AppState::loaderRequestFullResolution(const Photo&, PhotoSource) {}

void AppState::loaderCancelFullResolutionLoading() {}

void AppState::loaderSetLowMemoryMode(bool) {}

SharedImage AppState::loaderDisplayCacheImage(const std::string&, PhotoSource) const {
    return nullptr;
}

bool AppState::loaderIsDisplayReady(const Photo&, PhotoSource, const PhotoParameters&, double,
                                    const ManualCrop&, bool) const {
    return false;
}

SharedImage AppState::loaderAdjustedImage(const Photo&, PhotoSource, const PhotoParameters&, double,
                                          const ManualCrop&, bool) const {
    return nullptr;
}

SharedImage AppState::loaderImage(const Photo&, PhotoSource, bool) const {
    return nullptr;
}

bool AppState::loaderHasFailed(const std::string&, PhotoSource) const {
    return false;
}

} // namespace sorvin
