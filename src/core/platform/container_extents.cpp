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

bool boxesLieWithinFile(const RegularFile& file) {
    std::uint64_t offset = 0;
    bool first = true;
    while (offset < file.size()) {
        std::uint8_t header[16];
        if (file.size() - offset < 8 || !file.readAt(offset, header, 8)) return false;
        std::uint64_t size = bigEndian(header, 4);
        std::uint64_t headerSize = 8;
        if (first && std::memcmp(header + 4, "ftyp", 4) != 0) return false;
        first = false;
        if (size == 1) {
            if (file.size() - offset < 16 || !file.readAt(offset + 8, header + 8, 8)) return false;
            size = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            return true; // the last box runs to the end of the file
        }
        if (size < headerSize || size > file.size() - offset) return false;
        offset += size;
    }
    return !first;
}

} // namespace sorvin::ContainerExtents
