#include "library/photo_library_view_cache.hpp"

namespace sorvin {

PhotoLibraryViewCache::PhotoLibraryViewCache(const std::vector<Photo>& photos,
                                             const PathMap<Photo>& photosByPath, const PathSet& hearts,
                                             const PathMap<RetouchState>& retouchesB) {
    for (const Photo& photo : photos) {
        const auto copy = retouchesB.find(photo.relativePath);
        if (hearts.contains(photo.relativePath) || (copy != retouchesB.end() && copy->second.heart)) {
            ++heartCount_;
        }
    }
    rebuild(photos, photosByPath, false, {}, {}, retouchesB);
}

void PhotoLibraryViewCache::rebuild(const std::vector<Photo>& photos, const PathMap<Photo>& photosByPath,
                                    bool isFiltered, const std::vector<std::string>& filteredPaths,
                                    const std::vector<RetouchCursor>& filteredRowCursors,
                                    const PathMap<RetouchState>& retouchesB) {
    visiblePhotos_.clear();
    visibleRows_.clear();
    if (!isFiltered) {
        visiblePhotos_ = photos;
        visibleRows_.reserve(photos.size() + retouchesB.size());
        for (const Photo& photo : photos) {
            visibleRows_.push_back({photo, RetouchSlot::a});
            if (retouchesB.contains(photo.relativePath)) visibleRows_.push_back({photo, RetouchSlot::b});
        }
    } else {
        for (const std::string& path : filteredPaths) {
            if (auto found = photosByPath.find(path); found != photosByPath.end()) {
                visiblePhotos_.push_back(found->second);
            }
        }
        for (const RetouchCursor& cursor : filteredRowCursors) {
            if (auto found = photosByPath.find(cursor.path); found != photosByPath.end()) {
                visibleRows_.push_back({found->second, cursor.slot});
            }
        }
    }
    photoIndexByPath_.clear();
    photoIndexByPath_.reserve(visiblePhotos_.size());
    for (std::size_t i = 0; i < visiblePhotos_.size(); ++i) {
        photoIndexByPath_.emplace(visiblePhotos_[i].relativePath, static_cast<int>(i));
    }
    rowIndexByCursor_.clear();
    rowIndexByCursor_.reserve(visibleRows_.size());
    for (std::size_t i = 0; i < visibleRows_.size(); ++i) {
        rowIndexByCursor_.emplace(RetouchCursor{visibleRows_[i].photo.relativePath, visibleRows_[i].slot},
                                  static_cast<int>(i));
    }
}

std::optional<int> PhotoLibraryViewCache::photoIndex(const std::string& path) const {
    const auto found = photoIndexByPath_.find(path);
    if (found == photoIndexByPath_.end()) return std::nullopt;
    return found->second;
}

std::optional<int> PhotoLibraryViewCache::rowIndex(const RetouchCursor& cursor) const {
    const auto found = rowIndexByCursor_.find(cursor);
    if (found == rowIndexByCursor_.end()) return std::nullopt;
    return found->second;
}

} // namespace sorvin
