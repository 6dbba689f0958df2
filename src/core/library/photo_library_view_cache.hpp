#pragma once

#include "library/shared_path_table.hpp"
#include "model/photo.hpp"
#include "model/photo_list_row.hpp"
#include "model/retouch_cursor.hpp"
#include "model/retouch_state.hpp"

#include <array>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace sorvin {

using PathSet = std::unordered_set<std::string>;
template <typename T>
using PathMap = std::unordered_map<std::string, T>;

// The rows of the visible list, read in place: each row names its photo by its position in the
// library's photos. Valid until the library rebuilds its rows.
class PhotoListRows {
public:
    struct Entry {
        int photo; // position in the library's photos
        RetouchSlot slot;
    };

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = PhotoListRow;
        using difference_type = std::ptrdiff_t;
        Iterator(const PhotoListRows& rows, std::size_t index) : rows_(&rows), index_(index) {}
        PhotoListRowView operator*() const { return (*rows_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        const PhotoListRows* rows_;
        std::size_t index_;
    };

    PhotoListRows(const std::vector<Photo>& photos, const std::vector<Entry>& rows)
        : photos_(&photos), rows_(&rows) {}

    std::size_t size() const { return rows_->size(); }
    bool empty() const { return rows_->empty(); }
    PhotoListRowView operator[](std::size_t index) const {
        const Entry& row = (*rows_)[index];
        return {(*photos_)[static_cast<std::size_t>(row.photo)], row.slot};
    }
    PhotoListRowView front() const { return (*this)[0]; }
    PhotoListRowView back() const { return (*this)[size() - 1]; }
    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size()}; }
    // Where the rows are stored: a new list of rows is stored elsewhere.
    const void* data() const { return rows_->data(); }

private:
    const std::vector<Photo>* photos_;
    const std::vector<Entry>* rows_;
};

// The row lists the file list, the photo counter, the export button and navigation read, derived
// from the library's photos, copies B and filter. Rows and indexes refer to the library's photos by
// position instead of copying them: unfiltered, the visible photos are the library's own. Rebuilt
// whole whenever rows appear, disappear or move; the heart count is kept up to date by the library
// instead of being recounted.
class PhotoLibraryViewCache {
public:
    // `photos` is the library's list, which the cache reads from then on; `indexByPath` gives each
    // photo's position in it.
    PhotoLibraryViewCache(const std::vector<Photo>& photos, const PathMap<int>& indexByPath,
                          const SharedPathSet& hearts, const SharedPathMap<RetouchState>& retouchesB);

    void rebuild(const PathMap<int>& indexByPath, bool isFiltered,
                 const std::vector<std::string>& filteredPaths,
                 const std::vector<RetouchCursor>& filteredRowCursors,
                 const SharedPathMap<RetouchState>& retouchesB);

    const std::vector<Photo>& visiblePhotos() const { return isFiltered_ ? filteredPhotos_ : *photos_; }
    PhotoListRows visibleRows() const { return {*photos_, rows_}; }
    int heartCount() const { return heartCount_; }
    void addToHeartCount(int delta) { heartCount_ += delta; }

    // By the photo's position in the library's photos.
    std::optional<int> photoIndex(int photo) const;
    std::optional<int> rowIndex(int photo, RetouchSlot slot) const;

private:
    const std::vector<Photo>* photos_;
    bool isFiltered_ = false;
    std::vector<Photo> filteredPhotos_;
    std::vector<int> filteredIndex_; // by position in the library: index in filteredPhotos_, or -1
    std::vector<PhotoListRows::Entry> rows_;
    std::vector<std::array<int, 2>> rowIndex_; // by position in the library and slot, or -1
    int heartCount_ = 0;
};

} // namespace sorvin
