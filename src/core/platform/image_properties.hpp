#pragma once

#include "platform/regular_file.hpp"

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

// The container a file claims to be by its name.
enum class ImageContainer { jpeg, heif, raw };

// Image properties of untrusted files. Every reader answers nothing for a file that is cut short
// in its header, damaged in its structure, larger than the caps below, claims a pixel size beyond
// them, or is not of its container. Each works within a budget tied to the file's size and to
// fixed caps, so that reading any file costs a few milliseconds per megabyte at most and a few
// megabytes of memory. None of them throws.
namespace ImagePropertiesReader {

// Files above this size are not read at all.
inline constexpr std::uint64_t maxFileBytes = std::uint64_t{1} << 31;
// Pixel counts above this are refused (about 700 megapixels).
inline constexpr std::int64_t maxPixelCount = std::int64_t{1} << 29;

// Reads a file by what its content is: a JPEG or HEIF file is read as such whatever its name
// claims; any other content is read only when the name claims RAW.
std::optional<ImageProperties> read(const std::filesystem::path& path, ImageContainer claimed);

// JPEG: libjpeg reads the header, up to the first scan; the picture data are not looked at.
std::optional<ImageProperties> readJpeg(const std::filesystem::path& path);
// HEIF: the primary item's size with its clean aperture and rotation applied (the size libheif
// decodes to), from the item boxes alone; every top-level box must lie within the file.
std::optional<ImageProperties> readHeif(const std::filesystem::path& path);
// RAW: LibRaw identifies the file without unpacking it, and the size is the one it develops to
// (RawDevelopedSize); the image data of a TIFF-based file must lie within it; the capture date
// comes from its TIFF structure, or from exiv2 for other containers.
std::optional<ImageProperties> readRaw(const std::filesystem::path& path);

// The same on a file already open.
std::optional<ImageProperties> readJpeg(const RegularFile& file);
std::optional<ImageProperties> readHeif(const RegularFile& file);
std::optional<ImageProperties> readRaw(const RegularFile& file);

} // namespace ImagePropertiesReader

} // namespace sorvin
