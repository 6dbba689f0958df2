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

// JPEG: libjpeg reads the header; the markers of the scan data read with it are checked, and the
// stream must reach its end-of-image marker (checked at the end of the file, or by walking the
// stream when something follows the image), so a truncated or damaged file is refused.
std::optional<ImageProperties> readJpeg(const std::filesystem::path& path);
// HEIF: the primary item's size with its clean aperture and rotation applied (the size libheif
// decodes to), from the item boxes alone; every top-level box must lie within the file.
std::optional<ImageProperties> readHeif(const std::filesystem::path& path);
// RAW: LibRaw identifies the file without unpacking it; the image data of a TIFF-based file must
// lie within it; the capture date comes from its TIFF structure, or from exiv2 for other containers.
std::optional<ImageProperties> readRaw(const std::filesystem::path& path);

} // namespace ImagePropertiesReader

} // namespace sorvin
