#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sorvin {

// Order of the photo list: by capture date or by name.
enum class PhotoSortKey { date, name };

inline constexpr std::array<PhotoSortKey, 2> kAllPhotoSortKeys{PhotoSortKey::date, PhotoSortKey::name};

// Stored as "date" and "name".
constexpr std::string_view rawValue(PhotoSortKey key) {
    return key == PhotoSortKey::name ? "name" : "date";
}

constexpr std::optional<PhotoSortKey> photoSortKeyFromRawValue(std::string_view text) {
    if (text == "date") return PhotoSortKey::date;
    if (text == "name") return PhotoSortKey::name;
    return std::nullopt;
}

} // namespace sorvin
