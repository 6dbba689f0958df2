#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace sorvin {

// The format of a photo file, decided by its file-name extension alone.
enum class PhotoFileFormat { jpeg, heif, raw };

inline constexpr std::array<PhotoFileFormat, 3> kAllPhotoFileFormats{
    PhotoFileFormat::jpeg, PhotoFileFormat::heif, PhotoFileFormat::raw};

// The stored text of a format: "jpeg", "heif", "raw".
std::string_view rawValue(PhotoFileFormat format);
std::optional<PhotoFileFormat> photoFileFormatFromRawValue(std::string_view text);

// The lower-case extensions (without the dot) that belong to a format.
std::span<const std::string_view> photoFileFormatExtensions(PhotoFileFormat format);

// The format of a file by its extension, compared without regard to ASCII case; none for any
// other extension and for a name without one.
std::optional<PhotoFileFormat> photoFileFormatFrom(const std::filesystem::path& file);
// The same for a file name.
std::optional<PhotoFileFormat> photoFileFormatFromName(std::string_view fileName);

} // namespace sorvin
