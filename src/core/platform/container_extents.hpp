#pragma once

#include "platform/regular_file.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin::ContainerExtents {

// A top-level box of an ISO base media file: its type, where it starts, and the sizes of its header
// and of the whole box.
struct TopLevelBox {
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t headerSize = 0;
    std::uint64_t size = 0;
};

// Real files hold a handful of top-level boxes; a file of more is not read.
inline constexpr std::size_t maxTopLevelBoxes = 64;

// The top-level boxes of an ISO base media file (HEIF, CR3), the first being "ftyp"; nothing when
// one of them does not lie within the file (a file cut short loses the end of its last box, usually
// the image data) or when there are more than maxTopLevelBoxes.
std::optional<std::vector<TopLevelBox>> topLevelBoxes(const RegularFile& file);

// Whether every top-level box lies within the file, as above.
bool boxesLieWithinFile(const RegularFile& file);

} // namespace sorvin::ContainerExtents
