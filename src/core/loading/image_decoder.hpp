#pragma once

#include "engine/cancellation_probe.hpp"
#include "model/photo.hpp"
#include "model/photo_source.hpp"
#include "platform/image.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <system_error>

namespace sorvin {

// Turns one file of a photo into an image ready to draw: upright (the file's EXIF orientation
// applied; HEIF files come upright from their own boxes), in sRGB, its long edge at most the size
// asked for (never enlarged). The only place where JPEG and HEIF files are decoded for the screen.
// The content decides the decoder, not the file name, so a JPEG named .heic still opens; a RAW
// file that is really a RAW file is developed with the default RAW values.
// Stateless; any thread, many at once.
struct ImageDecoder {
    // Photo files above this size are not read.
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{512} << 20;

    // None for a file that cannot be read or decoded, and for a maximum size below 1. The source
    // defaults to the photo's own: raw when its main file is a RAW file, jpeg otherwise. A JPEG
    // decode or a RAW development whose caller gives up (asked as it goes) ends with none.
    static SharedImage decode(const Photo& photo, std::optional<PhotoSource> source, int maximumPixelSize,
                              const CancellationProbe& isCancelled = {});

    // The picture upright at the DCT's smallest scale (1/8, 1/4, 1/2) whose long edge is still at
    // least minimumLongEdge, and not resampled: for work that resamples it later itself. HEIF files
    // come at full size, and so does every JPEG for a minimum of 0; a RAW file as with decode().
    // What is written or copied from this picture must be the whole photo, so a file whose picture
    // data ends early or is damaged gives none (see DamagedData), unlike decode().
    static SharedImage decodeAtLeast(const Photo& photo, std::optional<PhotoSource> source,
                                     int minimumLongEdge);

    // Why a source's file cannot be decoded, told by opening it (never by a cache of its status,
    // which a share or a FUSE mount whose connection is gone may still answer from): the system's
    // error, file_too_large beyond the limits above (512 MB for a JPEG or HEIF file, the RAW
    // reader's for a RAW file); none when it opens, whatever its content.
    static std::error_code whyUnreadable(const Photo& photo, std::optional<PhotoSource> source);

    // The same for the bytes of a file already in memory.
    static SharedImage decode(std::span<const std::uint8_t> bytes, int maximumPixelSize);
};

} // namespace sorvin
