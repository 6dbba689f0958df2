#include "platform/container_extents.hpp"

#include <cstring>

namespace sorvin::ContainerExtents {

namespace {

std::uint64_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

} // namespace

std::optional<std::vector<TopLevelBox>> topLevelBoxes(const RegularFile& file) {
    std::vector<TopLevelBox> boxes;
    std::uint64_t offset = 0;
    while (offset < file.size()) {
        if (boxes.size() == maxTopLevelBoxes) return std::nullopt;
        std::uint8_t header[16];
        if (file.size() - offset < 8 || !file.readAt(offset, header, 8)) return std::nullopt;
        TopLevelBox box{static_cast<std::uint32_t>(bigEndian(header + 4, 4)), offset, 8,
                        bigEndian(header, 4)};
        if (boxes.empty() && std::memcmp(header + 4, "ftyp", 4) != 0) return std::nullopt;
        if (box.size == 1) {
            if (file.size() - offset < 16 || !file.readAt(offset + 8, header + 8, 8)) return std::nullopt;
            box.size = bigEndian(header + 8, 8);
            box.headerSize = 16;
        } else if (box.size == 0) {
            box.size = file.size() - offset; // the last box runs to the end of the file
        }
        if (box.size < box.headerSize || box.size > file.size() - offset) return std::nullopt;
        boxes.push_back(box);
        offset += box.size;
    }
    if (boxes.empty()) return std::nullopt;
    return boxes;
}

bool boxesLieWithinFile(const RegularFile& file) {
    return topLevelBoxes(file).has_value();
}

} // namespace sorvin::ContainerExtents
