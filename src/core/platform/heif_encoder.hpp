#pragma once

#include "platform/image.hpp"

#include <optional>
#include <string>

namespace sorvin::HeifEncoder {

// Whether libheif has an HEVC encoder on this system.
bool isAvailable();

// HEIC (HEVC, 4:2:0, full-range BT.601 as a file without a colour description is read) of an
// opaque bitmap (alpha is ignored), with the EXIF block (TIFF structure), the XMP packet and the
// ICC profile attached. Quality in percent. None when the encoder is missing or fails. The bitmap
// is let go as soon as its planes are made: a caller that moves its last reference in has it
// freed before the encoder's own buffers are made.
std::optional<std::string> encode(SharedImage image, int quality, const std::string& exif,
                                  const std::string& icc, const std::string& xmp = {});

} // namespace sorvin::HeifEncoder
