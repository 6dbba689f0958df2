#include "library/photo_library_view_cache.hpp"

namespace sorvin {

PhotoLibraryViewCache::PhotoLibraryViewCache(const std::vector<Photo>& photos,
                                             const PathMap<int>& indexByPath, const SharedPathSet& hearts,
                                             const SharedPathMap<RetouchState>& retouchesB)
    : photos_(&photos) {
    for (const Photo& photo : photos) {
        const auto copy = retouchesB.find(photo.relativePath);
        if (hearts.contains(photo.relativePath) || (copy != retouchesB.end() && copy->second.heart)) {
            ++heartCount_;
        }
    }
    rebuild(indexByPath, false, {}, {}, retouchesB);
}

void PhotoLibraryViewCache::rebuild(const PathMap<int>& indexByPath, bool isFiltered,
                                    const std::vector<std::string>& filteredPaths,
                                    const std::vector<RetouchCursor>& filteredRowCursors,
                                    const SharedPathMap<RetouchState>& retouchesB) {
    const std::vector<Photo>& photos = *photos_;
    const auto positionOf = [&](const std::string& path) {
        const auto found = indexByPath.find(path);
        return found == indexByPath.end() ? -1 : found->second;
    };
    isFiltered_ = isFiltered;
    filteredPhotos_.clear();
    filteredIndex_.clear();
    rows_.clear();
    rowIndex_.assign(photos.size(), {-1, -1});
    const auto addRow = [&](int photo, RetouchSlot slot) {
        rowIndex_[static_cast<std::size_t>(photo)][slot == RetouchSlot::a ? 0 : 1] =
            static_cast<int>(rows_.size());
        rows_.push_back({photo, slot});
    };
    if (!isFiltered) {
        // The photos with a copy B, found from the copies (usually few) rather than from every photo.
        std::vector<char> hasCopy(photos.size(), 0);
        for (const auto& entry : retouchesB)
            if (const int photo = positionOf(entry.first); photo >= 0)
                hasCopy[static_cast<std::size_t>(photo)] = 1;
        rows_.reserve(photos.size() + retouchesB.size());
        for (std::size_t i = 0; i < photos.size(); ++i) {
            addRow(static_cast<int>(i), RetouchSlot::a);
            if (hasCopy[i]) addRow(static_cast<int>(i), RetouchSlot::b);
        }
        return;
    }
    filteredIndex_.assign(photos.size(), -1);
    for (const std::string& path : filteredPaths) {
        if (const int photo = positionOf(path); photo >= 0) {
            filteredIndex_[static_cast<std::size_t>(photo)] = static_cast<int>(filteredPhotos_.size());
            filteredPhotos_.push_back(photos[static_cast<std::size_t>(photo)]);
        }
    }
    for (const RetouchCursor& cursor : filteredRowCursors) {
        if (const int photo = positionOf(cursor.path); photo >= 0) addRow(photo, cursor.slot);
    }
}

std::optional<int> PhotoLibraryViewCache::photoIndex(int photo) const {
    if (photo < 0 || static_cast<std::size_t>(photo) >= photos_->size()) return std::nullopt;
    if (!isFiltered_) return photo;
    const int index = filteredIndex_[static_cast<std::size_t>(photo)];
    if (index < 0) return std::nullopt;
    return index;
}

std::optional<int> PhotoLibraryViewCache::rowIndex(int photo, RetouchSlot slot) const {
    if (photo < 0 || static_cast<std::size_t>(photo) >= rowIndex_.size()) return std::nullopt;
    const int index = rowIndex_[static_cast<std::size_t>(photo)][slot == RetouchSlot::a ? 0 : 1];
    if (index < 0) return std::nullopt;
    return index;
}

} // namespace sorvin
