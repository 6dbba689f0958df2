#include "export/export_image_format.hpp"

namespace sorvin {

namespace {

constexpr std::array<ExportImageFormatTraits, 2> kTraits{{
    {"jpeg", "jpg", "jpeg", "JPEG", "image/jpeg", 95},
    {"heif", "heic", "heic", "HEIF", "image/heic", 90},
}};

} // namespace

const ExportImageFormatTraits& traitsOf(ExportImageFormat format) {
    return kTraits[static_cast<std::size_t>(format)];
}

std::optional<ExportImageFormat> exportImageFormatFromRawValue(std::string_view text) {
    for (const auto format : kAllExportImageFormats)
        if (traitsOf(format).rawValue == text) return format;
    return std::nullopt;
}

} // namespace sorvin
