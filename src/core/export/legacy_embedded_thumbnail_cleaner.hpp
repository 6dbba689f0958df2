#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace sorvin {

// Some cameras and editors leave an EXIF thumbnail whose shape does not match the photo (a
// portrait thumbnail in a landscape photo or the reverse), which viewers then show turned. In a
// byte-copied JPEG such a thumbnail is detached: IFD0's link to IFD1 is overwritten with zeros, in
// place; nothing else changes. Every read is bounds-checked; any doubt leaves the file untouched.
// The file is read only where the parse needs it (its markers up to the frame header, the EXIF
// block, the thumbnail), so a photo of any size takes a few kilobytes of memory.
struct LegacyEmbeddedThumbnailCleaner {
    struct ThumbnailReference {
        std::size_t tiffBase = 0;     // file position of the TIFF header
        std::size_t linkPosition = 0; // file position of IFD0's next-IFD offset
        std::uint32_t offset = 0;     // thumbnail start, relative to the TIFF base
        std::uint32_t length = 0;

        bool operator==(const ThumbnailReference&) const = default;
    };

    struct Size {
        int width = 0;
        int height = 0;
        bool isPortrait() const { return width < height; }
        bool operator==(const Size&) const = default;
    };

    // Detaches a mismatching thumbnail; silent in every case.
    static void cleanIfNeeded(const std::filesystem::path& file);

    // The parse behind it, for a whole JPEG file's bytes.
    static std::optional<ThumbnailReference> thumbnailReference(std::span<const std::uint8_t> data);
    // The frame size of the JPEG stream that fills the bytes (the first start-of-frame marker).
    static std::optional<Size> jpegSize(std::span<const std::uint8_t> stream);
};

} // namespace sorvin
