#pragma once

#include "platform/damaged_data.hpp"
#include "platform/image.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace sorvin {

// JPEG decoding with libjpeg-turbo into an sRGB image, for untrusted files. A reduced decode uses
// the DCT's own scaling so a small picture never builds the full-size bitmap; the embedded ICC
// profile is honoured (CMYK and YCCK files included, with Adobe's inverted inks); the picture
// comes back as stored, without its EXIF orientation applied.
//
// Every libjpeg error is confined to this reader and becomes "no image". Damage that libjpeg only
// warns about gives the part that could be decoded, as other viewers show it, or no image when
// the caller refuses damaged data. Damage is what libjpeg reports from the picture data: the file
// ending before its end marker (a sequential file in one scan only when that cut off picture data,
// not when only the marker is missing), a marker or a code that does not belong there, a lost
// restart marker and bytes skipped before one. Its remarks about the rest of the file (stray bytes
// between segments or before the end marker, an unknown JFIF version or Adobe transform, a bad
// ICC segment, an odd progression) leave every pixel decoded and are not damage.
struct JpegDecoder {
    // Sides of the stored picture; larger files are refused before any pixel is decoded.
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    // Progressive files may not have more scans than this (a few dozen are normal); a stream of
    // endless tiny scans is a known way to make a decoder spin.
    static constexpr int kMaxScans = 1000;
    // Memory libjpeg may take for a progressive file's coefficients.
    static constexpr long kMaxWorkingMemory = 2048L << 20;

    struct Picture {
        SharedImage image;
        int storedWidth = 0; // the picture's full size in the file
        int storedHeight = 0;
        // The EXIF orientation tag as stored, when the file has one.
        std::optional<long> orientation;
    };

    // The picture reduced by the DCT (by 1/8, 1/4 or 1/2) to the smallest scale whose long edge is
    // still at least minimumLongEdge (full size for 0 or for a larger value); none for anything
    // that is not a decodable JPEG within the caps. `stop` is asked as the rows are decoded; once
    // it answers true the decode ends at once with none, so work nobody waits for frees its bitmap.
    // A refused damaged file ends the decode at the first sign of damage.
    static std::optional<Picture> decode(std::span<const std::uint8_t> bytes, int minimumLongEdge,
                                         const std::function<bool()>& stop = {},
                                         DamagedData damaged = DamagedData::filledIn);

    // Whether the bytes begin like a JPEG file.
    static bool looksLikeJpeg(std::span<const std::uint8_t> bytes);
};

} // namespace sorvin
