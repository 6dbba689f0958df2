// Moving through the photos and what follows a move; hearts, the hearted-only filter, sorting and
// the switches that keep the loaders in step.

#include "app/app_state.hpp"
#include "engine/raw_development_cache.hpp"
#include "persistence/preference_key.hpp"

namespace sorvin {

bool AppState::move(int by) {
    if (!library_) return false;
    const std::optional<RetouchCursor> before = library_->currentCursor();
    if (library_->move(by)) {
        pendingNavigationDirection_ = by > 0 ? 1 : (by < 0 ? -1 : 0);
        didJump(before);
        return true;
    }
    showToasts({by < 1 ? "最初の写真です" : "最後の写真です"}, 1.5);
    return false;
}

void AppState::jumpToStart() {
    const auto before = library_ ? library_->currentCursor() : std::nullopt;
    if (library_) library_->jumpToStart();
    didJump(before);
}

void AppState::jumpToEnd() {
    const auto before = library_ ? library_->currentCursor() : std::nullopt;
    if (library_) library_->jumpToEnd();
    didJump(before);
}

void AppState::jump(int toIndex) {
    const auto before = library_ ? library_->currentCursor() : std::nullopt;
    if (library_) library_->jump(toIndex);
    didJump(before);
}

bool AppState::jump(const std::string& toPath, RetouchSlot slot) {
    if (!library_) return false;
    const auto before = library_->currentCursor();
    if (!library_->jump(toPath, slot)) return false;
    didJump(before);
    return true;
}

void AppState::didJump(const std::optional<RetouchCursor>& from) {
    const std::optional<int> direction = std::exchange(pendingNavigationDirection_, std::nullopt);
    if (!library_) return;
    const std::optional<RetouchCursor> now = library_->currentCursor();
    if (!now) return;
    if (!from || from->path != now->path) {
        lastNavigationDirection_ = direction;
        didChangePhoto();
    } else if (from->slot != now->slot) {
        lastNavigationDirection_ = direction;
        didChangeRetouchSlot();
    }
}

void AppState::didChangePhoto() {
    photoSideEffects(true);
}

// Another slot of the same photo keeps the photo's full-size image and its RAW development.
void AppState::didChangeRetouchSlot() {
    photoSideEffects(false);
}

void AppState::photoSideEffects(bool photoChanged) {
    photoChangedAt_ = mainQueue_.now();
    endOriginalPreview();
    cancelOriginalPreviewPreparation();
    imageLoader_.discardOriginalPreview();
    cancelSourceTransition();
    cancelStraightening();
    if (photoChanged) imageLoader_.discardFullResolutionRaw();
    imageLoader_.clearParameterImage();
    if (photoChanged) imageLoader_.clearRawDevelopmentCache();

    keepEditTargetOnTheMasks();

    exifLoader_.clear();
    histogramLoader_.clear();
    navigationSideEffectDebouncer_.submit(weakly([this] {
        if (screen_ != AppScreen::select) return;
        loadCurrentExif();
        scheduleCurrentHistogram();
        updateFullResolutionRequest();
    }));

    scheduleSave();
    // Unless the loupe or the zoom shows it, the full-size decode of a new photo waits, like its
    // EXIF and histogram, until the photo has been shown a moment: a walk through the photos would
    // start one at every step only to give it up at the next, a processor and a 100 MB bitmap
    // taken from the step's own work.
    if (photoChanged && !showsFullResolution())
        imageLoader_.cancelFullResolutionLoading();
    else
        updateFullResolutionRequest();
    refreshParameterImage();
    // After the request: the new photo's display-ready image is taken before the neighbours of
    // the new photo replace the list it was made for.
    prefetch();
    scheduleOriginalPreviewPreparation();
}

bool AppState::pageMayStay(ParameterPage page, ParameterEditTarget target, bool isRaw) const {
    const auto letter = page.letterPage();
    if (!letter) return true;
    switch (*letter) {
    case ParameterLetterPage::geometry:
        return target.isGlobal();
    case ParameterLetterPage::rawDevelopment:
        return target.isGlobal() && isRaw;
    case ParameterLetterPage::shape:
        return !target.isGlobal();
    default:
        return true;
    }
}

ParameterPage AppState::checkedPage(ParameterPage page, ParameterEditTarget target, bool isRaw) const {
    return pageMayStay(page, target, isRaw) ? page : ParameterPage::letter(ParameterLetterPage::basic);
}

void AppState::keepEditTargetOnTheMasks() {
    if (auto index = editTarget_.maskIndex()) {
        const PhotoParameters parameters = library_ ? library_->currentParameters() : PhotoParameters();
        if (*index < 0 || *index >= static_cast<int>(parameters.masks.size()))
            setEditTarget(ParameterEditTarget::global());
    }
    setParameterPage(checkedPage(parameterPage_, editTarget_, currentPhotoIsRaw()));
}

void AppState::loadCurrentExif() {
    if (!library_) return;
    if (const Photo* photo = library_->currentPhoto()) exifLoader_.load(*photo, library_->currentSource());
}

void AppState::prefetch() {
    if (!library_) return;
    PathMap<PhotoSource> sources = library_->sources();
    if (const Photo* photo = library_->currentPhoto(); photo && photo->hasRawCompanion()) {
        if (library_->currentSource() == PhotoSource::raw)
            sources[photo->relativePath] = PhotoSource::raw;
        else
            sources.erase(photo->relativePath);
    }
    imageLoader_.prefetch(library_->visiblePhotos(), library_->cursorIndex(), sources,
                          lastNavigationDirection_);
    prepareNeighbours();
}

// The rows a step most likely lands on, nearest in the direction of travel first, shown as they
// will be: the loader makes them display-ready so that the step only publishes.
void AppState::prepareNeighbours() {
    const auto cursor = library_ ? library_->currentCursor() : std::nullopt;
    const auto row = cursor ? library_->cachedVisibleRowIndex(*cursor) : std::nullopt;
    if (!row) return;
    const int ahead = lastNavigationDirection_.value_or(1) < 0 ? -1 : 1;
    const PhotoListRows rows = library_->visibleRows();
    std::vector<ImageLoader::NeighbourView> neighbours;
    for (const int offset : {ahead, 2 * ahead, -ahead}) {
        const long long index = static_cast<long long>(*row) + offset;
        if (index < 0 || index >= static_cast<long long>(rows.size())) continue;
        const PhotoListRowView neighbour = rows[static_cast<std::size_t>(index)];
        const PhotoSource source = library_->source(neighbour.photo, neighbour.slot);
        neighbours.push_back(
            {neighbour.photo, source, library_->parameters(neighbour.photo, neighbour.slot, source),
             library_->rotation(neighbour.photo, neighbour.slot),
             library_->clampedCrop(neighbour.photo, neighbour.slot), preferFullResolution()});
    }
    imageLoader_.prepareNeighbours(std::move(neighbours), photoAreaLongEdge_, photoAreaBackingScaleFactor_);
}

void AppState::scheduleCurrentHistogram() {
    if (!library_) return;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return;
    SharedImage image;
    if (library_->currentSource() == PhotoSource::jpeg) {
        image = imageLoader_.image(*photo, PhotoSource::jpeg, false);
    } else if (auto developed = rawDevelopmentCache_->cachedResult(photo->relativePath)) {
        image = developed->image;
    }
    const RetouchSlot slot = library_->currentSlot();
    histogramLoader_.schedule(image, photo->relativePath, library_->rotation(*photo, slot),
                              library_->clampedCrop(*photo, slot), displayedParameters(*photo),
                              clippingWarning_);
}

void AppState::toggleHeart() {
    if (screen_ != AppScreen::select || isModalExportPresented() || !library_) return;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return;
    const std::string path = photo->relativePath;
    const RetouchSlot slot = library_->currentSlot();
    const HeartToggleResult result = library_->toggleCurrentHeart();
    if (result == HeartToggleResult::unchanged) return;
    const bool added = result == HeartToggleResult::added;
    showHeartFeedback(added ? HeartFeedbackKind::added : HeartFeedbackKind::removed);
    showToasts({added ? "♡を付けました" : "♡をはずしました"}, 0.5);
    registerUndoChange(AppUndo::Heart{path, slot}, std::nullopt);
    scheduleSave();
    prefetch();
}

void AppState::toggleFilter() {
    if (!library_) return;
    lastNavigationDirection_.reset();
    const auto before = library_->currentCursor();
    if (!library_->toggleFilter()) showToasts({"ハートを付けた写真がありません"}, 2.0);
    if (library_->currentCursor() == before) {
        scheduleSave();
        prefetch();
    } else {
        didChangePhoto();
    }
}

void AppState::disableFilter() {
    if (!library_ || !library_->isFiltered()) return;
    lastNavigationDirection_.reset();
    library_->disableFilter();
    scheduleSave();
    prefetch();
}

void AppState::setSort(PhotoSortKey key, bool ascending) {
    if (screen_ != AppScreen::select || !library_) return;
    if (!library_->applySort(key, ascending)) return;
    lastNavigationDirection_.reset();
    sortKey_ = key;
    sortAscending_ = ascending;
    publish(AppStateProperty::sort);
    settings_.defaults().set(PreferenceKey::sortKey, key == PhotoSortKey::name ? "name" : "date");
    settings_.defaults().set(PreferenceKey::sortAscending, ascending);
    prefetch();
    showToasts({std::string(key == PhotoSortKey::date ? "撮影日時" : "ファイル名") + " " +
                (ascending ? "昇順" : "降順")},
               2.0);
}

void AppState::toggleSortKey() {
    setSort(sortKey_ == PhotoSortKey::date ? PhotoSortKey::name : PhotoSortKey::date, sortAscending_);
}

void AppState::setClippingWarning(bool on) {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_) return;
    if (on == clippingWarning_) return;
    clippingWarning_ = on;
    publish(AppStateProperty::clippingWarning);
    settings_.defaults().set(PreferenceKey::clippingWarning, on);
    if (on) scheduleCurrentHistogram();
    showToasts({on ? "白飛び・黒潰れ警告 ON" : "白飛び・黒潰れ警告 OFF"}, 1.5);
}

void AppState::setLowMemoryMode(bool on) {
    if (on == lowMemoryMode_ || screen_ == AppScreen::loading) return;
    if (screen_ == AppScreen::select && isModalExportPresented()) return;
    lowMemoryMode_ = on;
    publish(AppStateProperty::lowMemoryMode);
    settings_.defaults().set(PreferenceKey::lowMemoryMode, on);
    imageLoader_.setLowMemoryMode(on);
    cancelSourceTransition();
    if (screen_ != AppScreen::select) return;
    prefetch();
    updateFullResolutionRequest();
    scheduleOriginalPreviewPreparation();
    showToasts({on ? "メモリ節約モード ON" : "メモリ節約モード OFF"}, 1.5);
}

} // namespace sorvin
