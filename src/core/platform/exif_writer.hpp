#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace sorvin::ExifWriter {

// The EXIF block (TIFF structure) for an image re-encoded from a source file: the source's
// descriptive tags (camera, lens, exposure, dates, GPS...) with orientation 1, the new pixel
// size, sRGB as colour space and our software name. Structure that belonged to the source's
// pixels (strips, tiles, sub-images, thumbnail, maker note) is left behind. A source without
// readable EXIF gives a block with only the new values. Never fails: empty when even that cannot
// be made. Larger than maximumBytes: the biggest values are dropped until it fits.
std::string forRenderedImage(const std::filesystem::path& source, int width, int height,
                             const std::string& software, std::size_t maximumBytes = 65000);

} // namespace sorvin::ExifWriter
