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
    std::string id() const {
        std::string text = photo.relativePath;
        text += '#';
        text += rawValue(slot);
        return text;
    }
};

} // namespace sorvin
