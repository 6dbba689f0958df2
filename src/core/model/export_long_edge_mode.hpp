#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// keep: no size limit; specify: a maximum long edge in pixels.
enum class ExportLongEdgeMode { keep, specify };

inline constexpr std::array<ExportLongEdgeMode, 2> kAllExportLongEdgeModes{ExportLongEdgeMode::keep,
                                                                           ExportLongEdgeMode::specify};

// Stored as "keep" and "specify".
constexpr std::string_view rawValue(ExportLongEdgeMode value) {
    return value == ExportLongEdgeMode::specify ? "specify" : "keep";
}

constexpr std::optional<ExportLongEdgeMode> exportLongEdgeModeFromRawValue(std::string_view text) {
    if (text == "keep") return ExportLongEdgeMode::keep;
    if (text == "specify") return ExportLongEdgeMode::specify;
    return std::nullopt;
}

} // namespace sorvin
