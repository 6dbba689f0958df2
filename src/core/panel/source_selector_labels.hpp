#pragma once

#include "model/photo.hpp"
#include "model/photo_source.hpp"
#include "platform/srgb_color.hpp"

#include <string>

namespace sorvin {

// The texts of the panel's two source buttons.
struct SourceSelectorLabels {
    std::string jpegLabel;
    std::string rawLabel;

    // "JPEG" and "RAW" for a photo without a RAW companion, else the two files' extensions in
    // capitals ("HEIC" and "CR3").
    static SourceSelectorLabels make(const Photo& photo);

    friend bool operator==(const SourceSelectorLabels&, const SourceSelectorLabels&) = default;
};

// One source button: the source shown, one that can be switched to, or one the photo lacks.
enum class SourceButtonState { shown, switchable, unavailable };

struct SourceButtonStates {
    static SourceButtonState of(PhotoSource button, PhotoSource currentSource, const Photo& photo);
    // Only a switchable button reacts to the pointer.
    static bool isClickable(SourceButtonState state) { return state == SourceButtonState::switchable; }
    static SrgbColor textColor(SourceButtonState state);
    static SrgbColor backgroundColor(SourceButtonState state);
};

} // namespace sorvin
