#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace sorvin {

// What the folder scan learns about an image file without decoding its pixels.
struct ImageProperties {
    int pixelWidth = 0;
    int pixelHeight = 0;
    // The EXIF orientation tag as stored (absent when the file has none); HEIF files report none,
    // their rotation and mirror boxes being already applied to the size.
    std::optional<long> orientation;
    // EXIF DateTimeOriginal, as text ("yyyy:MM:dd HH:mm:ss").
    std::optional<std::string> dateTimeOriginal;
};

// The container a file claims to be by its name. A file whose content is something else is not
// read as that other thing.
enum class ImageContainer { jpeg, heif, raw };

// Image properties of untrusted files. Every reader answers nothing for a file that is truncated,
// damaged, larger than the caps below, claims a pixel size beyond them, or is not of the container
// asked for. None of them throws.
namespace ImagePropertiesReader {

// Files above this size are not read at all.
inline constexpr std::uint64_t maxFileBytes = std::uint64_t{1} << 31;
// Pixel counts above this are refused (about 700 megapixels).
inline constexpr std::int64_t maxPixelCount = std::int64_t{1} << 29;

std::optional<ImageProperties> read(const std::filesystem::path& path, ImageContainer container);

// JPEG: libjpeg reads the header; the whole stream is then checked for its markers (restart
// sequence, end of image), so a truncated or damaged file is refused without decoding it.
std::optional<ImageProperties> readJpeg(const std::filesystem::path& path);
// HEIF: libheif reads the primary image with its transforms applied; every top-level box must lie
// within the file.
std::optional<ImageProperties> readHeif(const std::filesystem::path& path);
// RAW: LibRaw identifies the file without unpacking it; exiv2 reads the capture date.
std::optional<ImageProperties> readRaw(const std::filesystem::path& path);

} // namespace ImagePropertiesReader

} // namespace sorvin
