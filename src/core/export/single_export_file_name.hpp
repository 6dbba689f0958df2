#pragma once

#include "model/single_export_format.hpp"
#include "model/photo.hpp"
#include "model/retouch_slot.hpp"

#include <filesystem>
#include <string>
#include <string_view>

namespace sorvin::SingleExportFileName {

// "jpg" or "heic".
constexpr std::string_view fileExtension(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? "heic" : "jpg";
}

// The proposed name: the photo's base name, "-B" for a copy B, and the format's extension.
std::string initialName(const Photo& photo, SingleExportFormat format, RetouchSlot slot);

// A file without an extension gets the format's; any other file is returned as it is.
std::filesystem::path appendingExtensionIfNeeded(const std::filesystem::path& file,
                                                 SingleExportFormat format);

// The name with a known image extension (.jpeg .heic .heif .jpg .hif, any letter case) replaced by
// the format's, or with the format's appended when it has none of those.
std::string replacingExportExtension(const std::string& name, SingleExportFormat format);

} // namespace sorvin::SingleExportFileName
