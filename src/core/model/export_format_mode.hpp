#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// keep: each photo in its own format (HEIF stays HEIF, JPEG and RAW become JPEG); specify: the formats ticked
// in the export sheet.
enum class ExportFormatMode { keep, specify };

inline constexpr std::array<ExportFormatMode, 2> kAllExportFormatModes{ExportFormatMode::keep,
                                                                       ExportFormatMode::specify};

// Stored as "keep" and "specify".
constexpr std::string_view rawValue(ExportFormatMode value) {
    return value == ExportFormatMode::specify ? "specify" : "keep";
}

constexpr std::optional<ExportFormatMode> exportFormatModeFromRawValue(std::string_view text) {
    if (text == "keep") return ExportFormatMode::keep;
    if (text == "specify") return ExportFormatMode::specify;
    return std::nullopt;
}

} // namespace sorvin
