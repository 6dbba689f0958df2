#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace sorvin::ExifWriter {

// The metadata of an image re-encoded from a source file.
struct RenderedMetadata {
    std::string exif; // TIFF structure, without the "Exif" header
    std::string xmp;  // an XMP packet
    std::string iptc; // IPTC-IIM datasets
};

// Where the metadata goes: JPEG has room for IPTC but only 64 KB per segment; HEIF has no place
// for IPTC, so its values go into the XMP (where the source's XMP has none of its own).
enum class Container { jpeg, heif };

// All of the source's EXIF, XMP and IPTC, changed only where they no longer hold: orientation 1
// (EXIF and XMP), the new pixel size, sRGB as colour space, our software name, and no thumbnail.
// What belonged to the source's pixels (strips, tiles, sub-images, the raw data's DNG tags, its
// own copies of XMP, IPTC and colour profile) is left behind. A source without readable metadata
// gives an EXIF block with only the new values. Never fails; a part that does not fit its
// container loses its largest values until it does.
RenderedMetadata forRenderedImage(const std::filesystem::path& source, int width, int height,
                                  const std::string& software, Container container = Container::jpeg);

} // namespace sorvin::ExifWriter
