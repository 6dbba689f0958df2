#pragma once

#include "model/photo.hpp"
#include "model/retouch_slot.hpp"

#include <string>

namespace sorvin {

// One row of the file list: a photo and one of its developments.
struct PhotoListRow {
    Photo photo;
    RetouchSlot slot = RetouchSlot::a;

    bool operator==(const PhotoListRow&) const = default;

    // "trip/IMG_0001.JPG#b" for the copy B row of trip/IMG_0001.JPG.
    std::string id() const { return id(photo, slot); }
    static std::string id(const Photo& photo, RetouchSlot slot) {
        std::string text = photo.relativePath;
        text += '#';
        text += rawValue(slot);
        return text;
    }
};

// A row as the library lists it: the photo stays where the library keeps it.
struct PhotoListRowView {
    const Photo& photo;
    RetouchSlot slot = RetouchSlot::a;

    PhotoListRowView(const Photo& photo, RetouchSlot slot) : photo(photo), slot(slot) {}
    PhotoListRowView(const PhotoListRow& row) : photo(row.photo), slot(row.slot) {}
    operator PhotoListRow() const { return {photo, slot}; }

    std::string id() const { return PhotoListRow::id(photo, slot); }
};

} // namespace sorvin
