#pragma once

#include "model/export_format_mode.hpp"
#include "export/export_image_format.hpp"
#include "model/photo.hpp"

#include <set>
#include <vector>

namespace sorvin {

// The output formats of a batch export and whether each goes to a folder of its own. Filled by
// the export sheet from the preferences; no defaults of its own.
struct ExportFormatOptions {
    ExportFormatMode mode = ExportFormatMode::keep;
    bool jpeg = false;
    bool heif = false;
    bool splitFolders = false;

    bool operator==(const ExportFormatOptions&) const = default;

    // specify: the ticked formats, JPEG first (possibly none); keep: HEIF for a HEIF photo, JPEG
    // for everything else (a RAW file is never written as RAW).
    std::vector<ExportImageFormat> outputFormats(const Photo& photo) const;
    // The union of outputFormats over the photos.
    std::set<ExportImageFormat> requiredFormats(const std::vector<Photo>& photos) const;
    // The folder of a format: its own subfolder when split in specify mode, else the destination.
    std::filesystem::path folder(ExportImageFormat format, const std::filesystem::path& destination) const;
    bool usesFormatFolders() const { return mode == ExportFormatMode::specify && splitFolders; }
};

} // namespace sorvin
