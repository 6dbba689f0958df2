#pragma once

#include "model/photo_source.hpp"
#include "model/retouch_state.hpp"

#include <string>
#include <variant>

namespace sorvin {

// Whether an edit changed the stored edit state of a row.
struct PhotoAdjustmentResult {
    bool changed = false;
    friend bool operator==(const PhotoAdjustmentResult&, const PhotoAdjustmentResult&) = default;
};

// The outcome of switching between a photo's JPEG/HEIF file and its RAW file.
struct PhotoSourceChangeResult {
    enum class Kind { changed, failed, unchanged };
    Kind kind = Kind::unchanged;
    PhotoSource source = PhotoSource::jpeg; // changed: the source now stored
    std::string text; // changed: upper-case extension of the file now shown; failed: the message

    static PhotoSourceChangeResult changedTo(PhotoSource source, std::string extension) {
        return {Kind::changed, source, std::move(extension)};
    }
    static PhotoSourceChangeResult failed(std::string message) {
        return {Kind::failed, PhotoSource::jpeg, std::move(message)};
    }
    static PhotoSourceChangeResult unchanged() { return {}; }
    friend bool operator==(const PhotoSourceChangeResult&, const PhotoSourceChangeResult&) = default;
};

enum class HeartToggleResult { added, removed, unchanged };

// The outcome of making a copy B of the current photo.
struct RetouchDuplicateCreationResult {
    enum class Kind { created, alreadyExists, unavailable };
    Kind kind = Kind::unavailable;
    RetouchState state; // created: the state of the new copy
    friend bool operator==(const RetouchDuplicateCreationResult&,
                           const RetouchDuplicateCreationResult&) = default;
};

} // namespace sorvin
