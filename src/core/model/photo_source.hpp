#pragma once

#include <optional>
#include <string_view>

namespace sorvin {

// Which file of a photo is shown and developed: `jpeg` is the display file whatever its format
// (JPEG, HEIF, or a RAW file without partner), `raw` the paired RAW file.
enum class PhotoSource { jpeg, raw };

// Stored as "jpeg" and "raw".
constexpr std::string_view rawValue(PhotoSource source) {
    return source == PhotoSource::raw ? "raw" : "jpeg";
}

constexpr std::optional<PhotoSource> photoSourceFromRawValue(std::string_view text) {
    if (text == "jpeg") return PhotoSource::jpeg;
    if (text == "raw") return PhotoSource::raw;
    return std::nullopt;
}

} // namespace sorvin
