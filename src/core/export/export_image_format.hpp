#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// A format the export writes. Everything that differs between the formats is in the table of
// export_image_format.cpp; nothing else switches on the format for a name.
enum class ExportImageFormat { jpeg, heif };

inline constexpr std::array<ExportImageFormat, 2> kAllExportImageFormats{ExportImageFormat::jpeg,
                                                                         ExportImageFormat::heif};

struct ExportImageFormatTraits {
    std::string_view rawValue;      // "jpeg", "heif"
    std::string_view fileExtension; // "jpg", "heic"
    std::string_view manifestKey;   // "jpeg", "heic"
    std::string_view folderName;    // "JPEG", "HEIF": the folder of the format when split
    std::string_view mediaType;     // "image/jpeg", "image/heic"
    int quality;                    // lossy quality in percent
};

const ExportImageFormatTraits& traitsOf(ExportImageFormat format);

constexpr std::string_view rawValue(ExportImageFormat format) {
    return format == ExportImageFormat::heif ? "heif" : "jpeg";
}
std::optional<ExportImageFormat> exportImageFormatFromRawValue(std::string_view text);

} // namespace sorvin
