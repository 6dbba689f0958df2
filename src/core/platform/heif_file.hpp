#pragma once

#include "platform/damaged_data.hpp"
#include "platform/image.hpp"
#include "platform/regular_file.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct heif_context;
struct heif_image_handle;

namespace sorvin {

// The primary picture of a HEIF file read through libheif, for untrusted files. libheif applies
// the file's rotation and mirror boxes, so the picture, its size and everything the program does
// with it are upright and count as orientation 1 (the EXIF orientation is not applied again).
// Every libheif error becomes "nothing".
class HeifFile {
public:
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

    // The bytes stay in use while the file is open. None when they hold no readable HEIF picture
    // within the caps.
    static std::unique_ptr<HeifFile> open(std::span<const std::uint8_t> bytes);
    static bool looksLikeHeif(std::span<const std::uint8_t> bytes);

    ~HeifFile();
    HeifFile(const HeifFile&) = delete;
    HeifFile& operator=(const HeifFile&) = delete;

    // The size after the rotation and mirror boxes.
    int width() const { return width_; }
    int height() const { return height_; }

    // The TIFF-structured EXIF block of the primary picture, wherever it sits in the file; none
    // when there is none.
    std::optional<std::vector<std::uint8_t>> exifTiffBlock() const;

    // The whole picture in sRGB (the ICC profile or the colour primaries honoured), premultiplied.
    // libheif refuses a file whose picture data is cut short or whose coded stream breaks off by
    // itself; where it would decode anyway and note a warning, a caller refusing damaged data gets
    // nothing (libheif's strict decoding).
    SharedImage decode(DamagedData damaged = DamagedData::filledIn) const;

private:
    HeifFile() = default;
    heif_context* context_ = nullptr;
    heif_image_handle* handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A HEIF file read whole from an open file, with the bytes it is read from (which it needs while
// it is open).
struct LoadedHeif {
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{512} << 20;

    FileBytes bytes;
    std::unique_ptr<HeifFile> file;

    // None when the file is larger than kMaxFileBytes, cannot be read whole, or holds no readable
    // HEIF picture.
    static std::optional<LoadedHeif> read(const RegularFile& file);
};

} // namespace sorvin
