#pragma once

#include "platform/regular_file.hpp"

namespace sorvin::ContainerExtents {

// Whether every top-level box of an ISO base media file (HEIF, CR3) lies within the file, the first
// being "ftyp". A file cut short loses the end of its last box, usually the image data.
bool boxesLieWithinFile(const RegularFile& file);

// Whether the image data of every IFD of a TIFF-structured file (DNG, NEF, ARW, CR2...) lies within
// it: each strip and tile, through the IFD chain and its sub-IFDs. Files that do not start with a
// TIFF header pass (their own reader judges them); a TIFF structure that points outside the file
// or loops does not.
bool tiffDataLiesWithinFile(const RegularFile& file);

} // namespace sorvin::ContainerExtents
