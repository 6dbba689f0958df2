#pragma once

#include "platform/image.hpp"

#include <optional>
#include <string>

namespace sorvin::JpegEncoder {

// Baseline JPEG of an opaque bitmap (alpha is ignored: premultiplied colours are the colours over
// black), optimised Huffman tables, 4:2:0. The EXIF block (TIFF structure, without the "Exif"
// header) goes into APP1 when it fits a segment, the ICC profile into APP2 segments, an XMP
// packet into APP1 and IPTC datasets into APP13 (as a Photoshop resource), each when it fits a
// segment. Quality in percent (1...100). None when the encoder fails.
std::optional<std::string> encode(const Image& image, int quality, const std::string& exif,
                                  const std::string& icc, const std::string& xmp = {},
                                  const std::string& iptc = {});

} // namespace sorvin::JpegEncoder
