#pragma once

#include "platform/image.hpp"

#include <optional>
#include <string>

namespace sorvin::HeifEncoder {

// Whether libheif has an HEVC encoder on this system.
bool isAvailable();

// HEIC (HEVC, 4:2:0) of an opaque bitmap (alpha is ignored), with the EXIF block (TIFF structure),
// the XMP packet and the ICC profile attached. Quality in percent. None when the encoder is
// missing or fails.
std::optional<std::string> encode(const Image& image, int quality, const std::string& exif,
                                  const std::string& icc, const std::string& xmp = {});

} // namespace sorvin::HeifEncoder
