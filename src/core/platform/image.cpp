#include "platform/image.hpp"

#include "platform/large_allocation.hpp"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace sorvin {

namespace {
// Largest bitmap the program will allocate (about 1 GiB of RGBA); larger requests are refused.
constexpr std::size_t kMaxPixels = 268'435'456;
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
    bytes_ = allocateLargeBytes(byteCount());
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
