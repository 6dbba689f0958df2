#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// What an export does when a file of the same name exists: write under a free name, or replace it.
enum class ExportConflictMode { rename, overwrite };

inline constexpr std::array<ExportConflictMode, 2> kAllExportConflictModes{ExportConflictMode::rename,
                                                                           ExportConflictMode::overwrite};

// Stored as "rename" and "overwrite".
constexpr std::string_view rawValue(ExportConflictMode value) {
    return value == ExportConflictMode::overwrite ? "overwrite" : "rename";
}

constexpr std::optional<ExportConflictMode> exportConflictModeFromRawValue(std::string_view text) {
    if (text == "rename") return ExportConflictMode::rename;
    if (text == "overwrite") return ExportConflictMode::overwrite;
    return std::nullopt;
}

} // namespace sorvin
