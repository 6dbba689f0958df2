#pragma once

#include "platform/regular_file.hpp"

namespace sorvin::ContainerExtents {

// Whether every top-level box of an ISO base media file (HEIF, CR3) lies within the file, the first
// being "ftyp". A file cut short loses the end of its last box, usually the image data.
bool boxesLieWithinFile(const RegularFile& file);

} // namespace sorvin::ContainerExtents
