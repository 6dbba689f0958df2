#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// The file format of a single-photo export.
enum class SingleExportFormat { jpeg, heic };

inline constexpr std::array<SingleExportFormat, 2> kAllSingleExportFormats{SingleExportFormat::jpeg,
                                                                           SingleExportFormat::heic};

// Stored as "jpeg" and "heic".
constexpr std::string_view rawValue(SingleExportFormat value) {
    return value == SingleExportFormat::heic ? "heic" : "jpeg";
}

constexpr std::optional<SingleExportFormat> singleExportFormatFromRawValue(std::string_view text) {
    if (text == "jpeg") return SingleExportFormat::jpeg;
    if (text == "heic") return SingleExportFormat::heic;
    return std::nullopt;
}

} // namespace sorvin
