#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sorvin {

// Bytes in memory with the reading interface of RegularFile, so the structure readers work on
// either: a whole file, or a block taken out of one (a JPEG's EXIF segment, a HEIF's EXIF item).
class MemoryBytes {
public:
    MemoryBytes(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    std::uint64_t size() const { return size_; }
    bool readAt(std::uint64_t offset, void* into, std::size_t count) const {
        if (offset > size_ || count > size_ - offset) return false;
        std::memcpy(into, bytes_ + offset, count);
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
};

} // namespace sorvin
