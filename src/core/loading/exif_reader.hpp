#pragma once

#include "model/exif_metadata.hpp"
#include "model/photo.hpp"
#include "model/photo_source.hpp"

#include <optional>

namespace sorvin {

// Reads the EXIF values the panel shows from one file of a photo. Never fails: a file that cannot
// be read gives no EXIF fields, with the file's name, the scan's pixel size and orientation, and
// the file's size when it exists. A HEIF file counts as orientation 1 at its upright size (its
// own boxes turn it); its EXIF item is found wherever it sits in the file. Any thread.
struct ExifReader {
    // The source defaults to the photo's own: raw when its main file is a RAW file.
    static ExifMetadata read(const Photo& photo, std::optional<PhotoSource> source);
};

} // namespace sorvin
