#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

struct jpeg_marker_struct;

namespace sorvin {

// The two EXIF values the folder scan needs. Orientation is the raw tag value (callers judge the
// range); the date is the DateTimeOriginal text as stored.
struct ExifBasics {
    std::optional<long> orientation;
    std::optional<std::string> dateTimeOriginal;
};

// EXIF reading through exiv2, with every library error turned into "nothing found".
namespace ExifBlock {

// Sets exiv2 up once for use from many threads (silent log, XMP toolkit, HEIF support).
void initializeLibrary();

// A TIFF-structured EXIF block (as found after "Exif\0\0" in a JPEG APP1 segment).
ExifBasics parse(const std::uint8_t* bytes, std::size_t size);

// The EXIF of a whole file in any container exiv2 reads (TIFF-based RAW files, RAF, CR3...).
ExifBasics readFile(const std::filesystem::path& path);

// The TIFF block of a JPEG's EXIF segment ("Exif\0\0" in APP1) among the markers libjpeg saved;
// empty when there is none.
std::span<const std::uint8_t> jpegSegmentPayload(const jpeg_marker_struct* markers);

// The TIFF block of a HEIF Exif item, which begins with the offset of the TIFF header behind its
// first four bytes; empty when that offset leads outside the item.
std::span<const std::uint8_t> heifItemPayload(std::span<const std::uint8_t> item);

} // namespace ExifBlock

} // namespace sorvin
