#include "platform/image.hpp"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/mman.h>

namespace sorvin {

namespace {
// Largest bitmap the program will allocate (about 1 GiB of RGBA); larger requests are refused.
constexpr std::size_t kMaxPixels = 268'435'456;

// A fresh photo-sized bitmap costs one page fault (and one page of clearing by the kernel) per 4 KiB
// on first touch, which outweighs copying it. Asking for huge pages turns that into one fault per
// 2 MiB. Only a hint: where the system has none, nothing changes.
constexpr std::size_t kHugePageHintBytes = std::size_t{8} << 20;

void adviseHugePages(std::uint8_t* bytes, std::size_t count) {
    if (count < kHugePageHintBytes) return;
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(bytes) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(bytes) + count) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
} // namespace

PixelBuffer::PixelBuffer(int width, int height) : PixelBuffer(width, height, true) {}

PixelBuffer PixelBuffer::forOverwrite(int width, int height) {
    return PixelBuffer(width, height, false);
}

PixelBuffer::PixelBuffer(int width, int height, bool zeroFill) : width_(width), height_(height) {
    if (width <= 0 || height <= 0 ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > kMaxPixels) {
        throw std::length_error("bitmap size out of range");
    }
    bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(byteCount());
    adviseHugePages(bytes_.get(), byteCount());
    if (zeroFill) std::memset(bytes_.get(), 0, byteCount());
}

Image::Image(PixelBuffer&& buffer)
    : width_(buffer.width_), height_(buffer.height_), bytes_(std::move(buffer.bytes_)) {
    if (!bytes_) throw std::invalid_argument("image from a moved-from buffer");
}

PixelBuffer Image::copyPixels() const {
    PixelBuffer copy = PixelBuffer::forOverwrite(width_, height_);
    std::memcpy(copy.data(), bytes_.get(), byteCount());
    return copy;
}

} // namespace sorvin
