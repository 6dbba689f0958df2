#pragma once

#include "model/exif_copy_field.hpp"
#include "loading/exif_display_values.hpp"

#include <string>

namespace sorvin {

// The EXIF text the copy command puts on the pasteboard: one line per group of selected fields
// that have a value, always in the panel's order, joined by line feeds. Empty when nothing
// contributes.
struct ExifCopyText {
    static std::string make(const ExifDisplayValues& values, const ExifCopyFieldSet& selection);
};

} // namespace sorvin
