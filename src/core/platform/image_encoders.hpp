#pragma once

#include "platform/image.hpp"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace sorvin {

// An image could not be encoded (no memory, or the encoder refused it).
class ImageEncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Complete image files in memory, without metadata, made for the clipboard: neither compressed,
// so that a copy costs little beside its rendering. An image whose pixels are all opaque is
// written as RGB, any other as RGBA (straight alpha in PNG, associated alpha in TIFF, so no colour
// is lost to rounding there).
struct ImageEncoders {
    static std::vector<std::uint8_t> png(const Image& image);  // throws ImageEncodingError
    static std::vector<std::uint8_t> tiff(const Image& image); // throws ImageEncodingError

    static bool isOpaque(const Image& image);
};

} // namespace sorvin
