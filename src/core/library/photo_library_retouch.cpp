// Copies B: a photo's second, independent development, stored whole as one RetouchState.
#include "library/photo_library.hpp"
#include "model/mask_kind_catalog.hpp"

#include <cmath>

namespace sorvin {

void PhotoLibrary::adjustHeartCountForCopy(const std::string& path, bool heartBefore, bool heartAfter) {
    if (photo(path) == nullptr) return;
    const bool a = hearts_.contains(path);
    viewCache_.addToHeartCount(static_cast<int>(a || heartAfter) - static_cast<int>(a || heartBefore));
}

RetouchDuplicateCreationResult PhotoLibrary::createRetouchDuplicate() {
    using Kind = RetouchDuplicateCreationResult::Kind;
    const Photo* current = currentPhoto();
    if (current == nullptr) return {Kind::unavailable, {}};
    const std::string path = current->relativePath;
    if (retouchesB_.contains(path)) return {Kind::alreadyExists, {}};

    RetouchState state;
    state.heart = containsHeart(path, currentSlot_);
    state.source = currentSource();
    state.rotation = rotation(*current, RetouchSlot::a);
    state.crop = clampedCrop(*current, RetouchSlot::a);
    state.params = parameters(*current, currentSlot_, PhotoSource::jpeg);
    state.paramsRaw = parameters(*current, currentSlot_, PhotoSource::raw);
    state.masks = currentParameters().maskKinds();
    normalizeRetouchState(state);

    retouchesB_.emplace(path, state);
    insertFilteredRetouchRow(path);
    adjustHeartCountForCopy(path, false, state.heart);
    rebuildVisibleCaches();
    LibraryFields fields = LibraryField::retouchesB;
    if (const auto index = cachedVisiblePhotoIndex(path)) placeCursor(*index, RetouchSlot::b, fields);
    publish(fields);
    return {Kind::created, state};
}

std::optional<RetouchState> PhotoLibrary::deleteCurrentRetouchDuplicate() {
    const std::optional<RetouchCursor> current = currentCursor();
    if (!current || current->slot != RetouchSlot::b) return std::nullopt;
    return removeRetouchDuplicate(current->path);
}

std::optional<RetouchState> PhotoLibrary::removeRetouchDuplicate(const std::string& path) {
    const auto found = retouchesB_.find(path);
    if (found == retouchesB_.end()) return std::nullopt;
    RetouchState removed = std::move(found->second);
    retouchesB_.erase(found);
    removeFilteredRetouchRow(path);
    adjustHeartCountForCopy(path, removed.heart, false);
    const Photo* current = currentPhoto();
    const bool wasCurrent = current != nullptr && current->relativePath == path;
    rebuildVisibleCaches();
    LibraryFields fields = LibraryField::retouchesB;
    if (wasCurrent) {
        // The photo stays listed (through its A row) after its copy goes.
        const std::optional<int> index = cachedVisiblePhotoIndex(path);
        placeCursor(index.value_or(cursorIndex_), RetouchSlot::a, fields);
    }
    publish(fields);
    return removed;
}

bool PhotoLibrary::restoreRetouchDuplicate(RetouchState state, const std::string& path, bool select) {
    if (retouchesB_.contains(path)) return false;
    normalizeRetouchState(state);
    const bool heart = state.heart;
    retouchesB_.emplace(path, std::move(state));
    insertFilteredRetouchRow(path);
    adjustHeartCountForCopy(path, false, heart);
    rebuildVisibleCaches();
    // The rows moved; keep the cursor on the photo it was on.
    LibraryFields fields = LibraryField::retouchesB;
    publish(fields);
    if (select) return jump(path, RetouchSlot::b);
    return true;
}

} // namespace sorvin
