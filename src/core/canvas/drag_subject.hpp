#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/photo_source.hpp"
#include "model/retouch_slot.hpp"

#include <string>

namespace sorvin {

class PhotoLibrary;

// What a drag over the photo works on: the folder's photo, its copy, the file shown and the mask
// tab. A drag ends when any of them changes under it, so that it never goes on with another.
struct DragSubject {
    const PhotoLibrary* library = nullptr;
    std::string photo; // relative path; empty without a current photo
    RetouchSlot slot = RetouchSlot::a;
    PhotoSource source = PhotoSource::jpeg;
    ParameterEditTarget target;
    friend bool operator==(const DragSubject&, const DragSubject&) = default;
};

} // namespace sorvin
