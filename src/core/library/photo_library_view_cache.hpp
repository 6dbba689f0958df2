#pragma once

#include "model/photo.hpp"
#include "model/photo_list_row.hpp"
#include "model/retouch_cursor.hpp"
#include "model/retouch_state.hpp"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace sorvin {

using PathSet = std::unordered_set<std::string>;
template <typename T>
using PathMap = std::unordered_map<std::string, T>;

// The row lists the file list, the photo counter, the export button and navigation read, derived
// from the library's photos, copies B and filter. Rebuilt whole whenever rows appear, disappear or
// move; the heart count is kept up to date by the library instead of being recounted.
class PhotoLibraryViewCache {
public:
    PhotoLibraryViewCache(const std::vector<Photo>& photos, const PathMap<Photo>& photosByPath,
                          const PathSet& hearts, const PathMap<RetouchState>& retouchesB);

    void rebuild(const std::vector<Photo>& photos, const PathMap<Photo>& photosByPath, bool isFiltered,
                 const std::vector<std::string>& filteredPaths,
                 const std::vector<RetouchCursor>& filteredRowCursors,
                 const PathMap<RetouchState>& retouchesB);

    const std::vector<Photo>& visiblePhotos() const { return visiblePhotos_; }
    const std::vector<PhotoListRow>& visibleRows() const { return visibleRows_; }
    int heartCount() const { return heartCount_; }
    void addToHeartCount(int delta) { heartCount_ += delta; }

    std::optional<int> photoIndex(const std::string& path) const;
    std::optional<int> rowIndex(const RetouchCursor& cursor) const;

private:
    std::vector<Photo> visiblePhotos_;
    std::vector<PhotoListRow> visibleRows_;
    int heartCount_ = 0;
    std::unordered_map<std::string, int> photoIndexByPath_;
    std::unordered_map<RetouchCursor, int> rowIndexByCursor_;
};

} // namespace sorvin
