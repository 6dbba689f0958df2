#include "library/photo_library.hpp"

#include "model/mask_kind_catalog.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace sorvin {

PhotoLibrary::PhotoLibrary(std::vector<Photo> photos, PhotoLibraryRestoration restored, PhotoSortKey sortKey,
                           bool sortAscending)
    : photos_(Photo::sorted(std::move(photos), sortKey, sortAscending)), sortKey_(sortKey),
      sortAscending_(sortAscending), viewCache_(photos_, {}, {}, {}) {
    positionByPath_.reserve(photos_.size());
    for (std::size_t i = 0; i < photos_.size(); ++i)
        positionByPath_.emplace(photos_[i].relativePath, static_cast<int>(i));

    for (const auto& [path, degrees] : restored.rotations) {
        if (auto kept = PhotoRotation::stored(degrees)) rotations_.emplace(path, *kept);
    }

    // Sources first: a row's crop is measured in the size of the file it shows.
    for (const auto& [path, source] : restored.sources) {
        if (source == PhotoSource::raw) sources_.emplace(path, source);
    }
    for (const auto& [path, crop] : restored.crops) {
        if (crop.isDefault()) continue;
        const Photo* owner = photo(path);
        if (owner == nullptr) {
            crops_.emplace(path, crop);
            continue;
        }
        const auto rotation = rotations_.find(path);
        const PixelSize size =
            editSize(*owner, RetouchSlot::a, rotation == rotations_.end() ? 0 : rotation->second);
        crops_.emplace(path, crop.clamped(size.width, size.height));
    }

    hearts_ = SharedPathSet(restored.hearts);

    for (const auto& [path, brightness] : restored.brightness) {
        if (restored.parameters.contains(path)) continue;
        PhotoParameters legacy;
        legacy.setValue(brightness, PhotoParameter::exposure);
        restored.parameters.emplace(path, legacy);
    }
    for (const auto& [path, stored] : restored.parameters) {
        PhotoParameters sanitized = stored.sanitized(false);
        if (!sanitized.values.isEmpty() || !sanitized.masks.empty())
            parameters_.emplace(path, std::move(sanitized));
    }
    for (const auto& [path, stored] : restored.parametersRaw) {
        if (stored.values.isEmpty() && stored.masks.empty()) continue;
        const Photo* owner = photo(path);
        if (owner == nullptr || owner->hasRawCompanion() || owner->fileFormat == PhotoFileFormat::raw) {
            parametersRaw_.emplace(path, stored);
        }
    }
    // Both sources of a row carry the same masks; the JPEG/HEIF set's masks win.
    PathSet developed;
    for (const auto& entry : parameters_)
        developed.insert(entry.first);
    for (const auto& entry : parametersRaw_)
        developed.insert(entry.first);
    for (const std::string& path : developed) {
        const auto jpeg = parameters_.find(path);
        const auto raw = parametersRaw_.find(path);
        std::vector<MaskKind> kinds;
        if (jpeg != parameters_.end() && !jpeg->second.masks.empty()) {
            kinds = jpeg->second.maskKinds();
        } else if (raw != parametersRaw_.end()) {
            kinds = raw->second.maskKinds();
        }
        if (jpeg != parameters_.end()) jpeg->second.synchronizeMaskKinds(kinds);
        if (raw != parametersRaw_.end()) raw->second.synchronizeMaskKinds(kinds);
    }

    for (auto& [path, stored] : restored.retouchesB) {
        RetouchState state = std::move(stored);
        normalizeRetouchState(state);
        if (const Photo* owner = photo(path)) {
            const PhotoSource shown = owner->hasRawCompanion() ? state.source : source(*owner);
            const PixelSize size = editSize(owner->asset(shown), state.rotation);
            state.crop = state.crop.clamped(size.width, size.height);
        }
        retouchesB_.emplace(path, std::move(state));
    }

    viewCache_ = PhotoLibraryViewCache(photos_, positionByPath_, hearts_, retouchesB_);

    if (restored.cursorPath) {
        const auto found = std::find_if(photos_.begin(), photos_.end(), [&](const Photo& p) {
            return p.relativePath == *restored.cursorPath;
        });
        if (found != photos_.end()) cursorIndex_ = static_cast<int>(found - photos_.begin());
    }
}

// Brings a copy's state within what the library stores: at most four masks of known kinds carried
// by both sets, no RAW development in the JPEG/HEIF set, a half-degree rotation in range.
void PhotoLibrary::normalizeRetouchState(RetouchState& state) {
    if (state.masks.size() > maximumMaskCount) state.masks.resize(maximumMaskCount);
    const MaskKindCatalog& catalog = MaskKindCatalog::current();
    std::erase_if(state.masks, [&](const MaskKind& kind) { return catalog.definition(kind) == nullptr; });
    state.params = state.params.sanitized(false);
    state.params.synchronizeMaskKinds(state.masks);
    state.paramsRaw.synchronizeMaskKinds(state.masks);
    state.rotation = PhotoRotation::stored(state.rotation).value_or(0);
}

void PhotoLibrary::rebuildVisibleCaches() {
    viewCache_.rebuild(positionByPath_, isFiltered_, filteredPaths_, filteredRowCursors_, retouchesB_);
}

void PhotoLibrary::synchronizeMaskKinds(const std::vector<MaskKind>& kinds, SharedPathMap<PhotoParameters>& table,
                                        const std::string& path) {
    const auto entry = table.find(path);
    if (entry == table.end()) return;
    entry->second.synchronizeMaskKinds(kinds);
    if (entry->second.values.isEmpty() && entry->second.masks.empty()) table.erase(entry);
}

// ---- Cursor bookkeeping

void PhotoLibrary::placeCursor(int photoIndex, RetouchSlot slot, LibraryFields& fields) {
    if (cursorIndex_ != photoIndex) {
        cursorIndex_ = photoIndex;
        fields |= LibraryField::cursorIndex;
    }
    if (currentSlot_ != slot) {
        currentSlot_ = slot;
        fields |= LibraryField::currentSlot;
    }
}

void PhotoLibrary::resetZoomIfMovedFrom(const std::optional<RetouchCursor>& previous, LibraryFields& fields) {
    if (currentCursor() != previous && zoomState_ != ZoomState{}) {
        zoomState_ = ZoomState{};
        fields |= LibraryField::zoomState;
    }
}

// After a rebuild that keeps every photo's rows (filter off, sort): back onto the remembered row,
// its copy B only while the photo still has one.
void PhotoLibrary::placeAfterRebuild(const std::optional<RetouchCursor>& previous, LibraryFields& fields) {
    const std::optional<int> index = previous ? cachedVisiblePhotoIndex(previous->path) : std::nullopt;
    if (index) {
        const bool keepsCopy = previous->slot == RetouchSlot::b && retouchesB_.contains(previous->path);
        placeCursor(*index, keepsCopy ? RetouchSlot::b : RetouchSlot::a, fields);
    } else {
        const int last = std::max(0, static_cast<int>(visiblePhotos().size()) - 1);
        placeCursor(previous ? std::min(cursorIndex_, last) : 0, RetouchSlot::a, fields);
    }
}

// ---- Filter and sort

bool PhotoLibrary::toggleFilter() {
    const std::optional<RetouchCursor> previous = currentCursor();
    if (isFiltered_) {
        disableFilter();
        return true;
    }
    // The hearted rows in list order, found from the hearts and copies (usually far fewer than
    // the photos) rather than by looking every photo up.
    std::vector<std::array<char, 2>> hearted(photos_.size(), {0, 0});
    bool any = false;
    const auto mark = [&](const std::string& path, RetouchSlot slot) {
        if (const int at = position(path); at >= 0) {
            hearted[static_cast<std::size_t>(at)][slot == RetouchSlot::a ? 0 : 1] = 1;
            any = true;
        }
    };
    for (const std::string& path : hearts_)
        mark(path, RetouchSlot::a);
    for (const auto& [path, copy] : retouchesB_)
        if (copy.heart) mark(path, RetouchSlot::b);
    std::vector<RetouchCursor> rows;
    for (std::size_t i = 0; any && i < photos_.size(); ++i) {
        if (hearted[i][0]) rows.push_back({photos_[i].relativePath, RetouchSlot::a});
        if (hearted[i][1]) rows.push_back({photos_[i].relativePath, RetouchSlot::b});
    }
    if (rows.empty()) return false;

    filteredRowCursors_ = rows;
    filteredRetouchReplacementPaths_.clear();
    filteredPaths_.clear();
    for (const RetouchCursor& row : rows) {
        if (filteredPaths_.empty() || filteredPaths_.back() != row.path) filteredPaths_.push_back(row.path);
    }
    isFiltered_ = true;
    rebuildVisibleCaches();

    LibraryFields fields = LibraryField::isFiltered;
    const bool stays = previous && std::find(rows.begin(), rows.end(), *previous) != rows.end() &&
                       cachedVisiblePhotoIndex(previous->path);
    if (stays) {
        placeCursor(*cachedVisiblePhotoIndex(previous->path), previous->slot, fields);
    } else {
        placeCursor(0, rows.front().slot, fields);
    }
    resetZoomIfMovedFrom(previous, fields);
    publish(fields);
    return true;
}

void PhotoLibrary::disableFilter() {
    if (!isFiltered_) return;
    const std::optional<RetouchCursor> previous = currentCursor();
    isFiltered_ = false;
    filteredPaths_.clear();
    filteredRowCursors_.clear();
    filteredRetouchReplacementPaths_.clear();
    rebuildVisibleCaches();
    LibraryFields fields = LibraryField::isFiltered;
    placeAfterRebuild(previous, fields);
    publish(fields);
}

bool PhotoLibrary::applySort(PhotoSortKey key, bool ascending) {
    if (key == sortKey_ && ascending == sortAscending_) return false;
    const std::optional<RetouchCursor> previous = currentCursor();
    // The listed rows of each photo while filtered, by position: [0] the photo, [1] and [2] its rows.
    std::vector<std::array<char, 3>> listed;
    if (isFiltered_) {
        listed.assign(photos_.size(), {0, 0, 0});
        for (const std::string& path : filteredPaths_)
            if (const int at = position(path); at >= 0) listed[static_cast<std::size_t>(at)][0] = 1;
        for (const RetouchCursor& row : filteredRowCursors_)
            if (const int at = position(row.path); at >= 0)
                listed[static_cast<std::size_t>(at)][row.slot == RetouchSlot::a ? 1 : 2] = 1;
    }

    // The photos move to their new places; each path's position follows them.
    std::vector<const Photo*> unsorted(photos_.size());
    for (std::size_t i = 0; i < photos_.size(); ++i)
        unsorted[i] = &photos_[i];
    const std::vector<std::size_t> order = Photo::sortedOrder(unsorted, key, ascending);
    std::vector<Photo> sorted;
    sorted.reserve(photos_.size());
    std::vector<int> newPosition(photos_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(photos_[order[i]]));
        newPosition[order[i]] = static_cast<int>(i);
    }
    photos_ = std::move(sorted);
    for (auto& entry : positionByPath_)
        entry.second = newPosition[static_cast<std::size_t>(entry.second)];

    LibraryFields fields = LibraryField::photos | LibraryField::sortRevision;
    if (key != sortKey_) fields |= LibraryField::sortKey;
    if (ascending != sortAscending_) fields |= LibraryField::sortAscending;
    sortKey_ = key;
    sortAscending_ = ascending;

    if (isFiltered_) {
        filteredPaths_.clear();
        filteredRowCursors_.clear();
        for (std::size_t i = 0; i < order.size(); ++i) {
            const std::string& path = photos_[i].relativePath;
            const auto& was = listed[order[i]];
            if (was[0]) filteredPaths_.push_back(path);
            if (was[1]) filteredRowCursors_.push_back({path, RetouchSlot::a});
            if (was[2]) filteredRowCursors_.push_back({path, RetouchSlot::b});
        }
    }
    rebuildVisibleCaches();
    placeAfterRebuild(previous, fields);
    ++sortRevision_;
    publish(fields);
    return true;
}

void PhotoLibrary::removeFilteredRetouchRow(const std::string& path) {
    if (!isFiltered_) return;
    const auto b = std::find(filteredRowCursors_.begin(), filteredRowCursors_.end(),
                             RetouchCursor{path, RetouchSlot::b});
    if (b == filteredRowCursors_.end()) return;
    const auto position = filteredRowCursors_.erase(b);
    const RetouchCursor a{path, RetouchSlot::a};
    if (std::find(filteredRowCursors_.begin(), filteredRowCursors_.end(), a) == filteredRowCursors_.end()) {
        filteredRowCursors_.insert(position, a);
        filteredRetouchReplacementPaths_.insert(path);
    }
}

void PhotoLibrary::insertFilteredRetouchRow(const std::string& path) {
    if (!isFiltered_) return;
    if (std::find(filteredPaths_.begin(), filteredPaths_.end(), path) == filteredPaths_.end()) return;
    const RetouchCursor b{path, RetouchSlot::b};
    if (std::find(filteredRowCursors_.begin(), filteredRowCursors_.end(), b) != filteredRowCursors_.end())
        return;
    if (filteredRetouchReplacementPaths_.erase(path) > 0) {
        std::erase(filteredRowCursors_, RetouchCursor{path, RetouchSlot::a});
    }
    const auto lastOfPhoto = std::find_if(filteredRowCursors_.rbegin(), filteredRowCursors_.rend(),
                                          [&](const RetouchCursor& row) { return row.path == path; });
    if (lastOfPhoto != filteredRowCursors_.rend()) {
        filteredRowCursors_.insert(lastOfPhoto.base(), b);
        return;
    }
    // No row of the photo is left: keep the list in photo order, before the first row of a photo
    // that comes later in the list.
    const auto rank = [&](const std::string& p) {
        const int at = position(p);
        return at < 0 ? photos_.size() : static_cast<std::size_t>(at);
    };
    const std::size_t own = rank(path);
    const auto later = std::find_if(filteredRowCursors_.begin(), filteredRowCursors_.end(),
                                    [&](const RetouchCursor& row) { return rank(row.path) > own; });
    filteredRowCursors_.insert(later, b);
}

// ---- Navigation

bool PhotoLibrary::move(int by) {
    if (by == 0) return true;
    const std::optional<RetouchCursor> current = currentCursor();
    if (!current) return false;
    const std::optional<int> row = cachedVisibleRowIndex(*current);
    if (!row) return false;
    const long long target = static_cast<long long>(*row) + by;
    if (target < 0 || target >= static_cast<long long>(visibleRows().size())) return false;
    const PhotoListRowView destination = visibleRows()[static_cast<std::size_t>(target)];
    const std::optional<int> index = cachedVisiblePhotoIndex(destination.photo.relativePath);
    if (!index) return false;
    LibraryFields fields;
    placeCursor(*index, destination.slot, fields);
    if (zoomState_ != ZoomState{}) {
        zoomState_ = ZoomState{};
        fields |= LibraryField::zoomState;
    }
    publish(fields);
    return true;
}

void PhotoLibrary::jumpToStart() {
    if (visibleRows().empty()) return;
    const PhotoListRowView row = visibleRows().front();
    jump(row.photo.relativePath, row.slot);
}

void PhotoLibrary::jumpToEnd() {
    if (visibleRows().empty()) return;
    const PhotoListRowView row = visibleRows().back();
    jump(row.photo.relativePath, row.slot);
}

void PhotoLibrary::jump(int toPhotoIndex) {
    if (visiblePhotos().empty()) return;
    const int last = static_cast<int>(visiblePhotos().size()) - 1;
    const int index = std::clamp(toPhotoIndex, 0, last);
    // While the filter is on, land on a listed row of the photo so that navigation goes on from it.
    RetouchSlot slot = RetouchSlot::a;
    const std::string& path = visiblePhotos()[static_cast<std::size_t>(index)].relativePath;
    if (isFiltered_ && !cachedVisibleRowIndex({path, RetouchSlot::a}) &&
        cachedVisibleRowIndex({path, RetouchSlot::b})) {
        slot = RetouchSlot::b;
    }
    const std::optional<RetouchCursor> previous = currentCursor();
    LibraryFields fields;
    placeCursor(index, slot, fields);
    resetZoomIfMovedFrom(previous, fields);
    publish(fields);
}

bool PhotoLibrary::jump(const std::string& toPath, RetouchSlot slot) {
    const std::optional<int> index = cachedVisiblePhotoIndex(toPath);
    if (!index) return false;
    if (slot == RetouchSlot::b && !retouchesB_.contains(toPath)) return false;
    // While the filter is on, a row that is not listed gives way to the photo's listed row.
    if (isFiltered_ && !cachedVisibleRowIndex({toPath, slot})) {
        const RetouchSlot other = slot == RetouchSlot::a ? RetouchSlot::b : RetouchSlot::a;
        if (cachedVisibleRowIndex({toPath, other})) slot = other;
    }
    const std::optional<RetouchCursor> previous = currentCursor();
    LibraryFields fields;
    placeCursor(*index, slot, fields);
    resetZoomIfMovedFrom(previous, fields);
    publish(fields);
    return true;
}

// ---- Hearts

HeartToggleResult PhotoLibrary::toggleHeart(const std::string& path, RetouchSlot slot) {
    if (photo(path) == nullptr) return HeartToggleResult::unchanged;
    const bool wasA = hearts_.contains(path);
    const auto copy = retouchesB_.find(path);
    const bool wasB = copy != retouchesB_.end() && copy->second.heart;
    if (slot == RetouchSlot::b) {
        if (copy == retouchesB_.end()) return HeartToggleResult::unchanged;
        copy->second.heart = !copy->second.heart;
        if (!wasA) viewCache_.addToHeartCount(copy->second.heart ? 1 : -1);
        publish(LibraryField::retouchesB);
        return copy->second.heart ? HeartToggleResult::added : HeartToggleResult::removed;
    }
    if (wasA) {
        hearts_.erase(path);
        if (!wasB) viewCache_.addToHeartCount(-1);
        publish(LibraryField::hearts);
        return HeartToggleResult::removed;
    }
    hearts_.insert(path);
    if (!wasB) viewCache_.addToHeartCount(1);
    publish(LibraryField::hearts);
    return HeartToggleResult::added;
}

HeartToggleResult PhotoLibrary::toggleCurrentHeart() {
    const std::optional<RetouchCursor> current = currentCursor();
    if (!current) return HeartToggleResult::unchanged;
    return toggleHeart(current->path, current->slot);
}

// ---- Zoom

void PhotoLibrary::setZoomState(const ZoomState& zoom) {
    if (zoom == zoomState_) return;
    zoomState_ = zoom;
    publish(LibraryField::zoomState);
}

void PhotoLibrary::panZoom(Size delta, Size viewportSize, Size fittedImageSize) {
    ZoomState zoom = zoomState_;
    zoom.pan(delta, viewportSize, fittedImageSize);
    setZoomState(zoom);
}

} // namespace sorvin
