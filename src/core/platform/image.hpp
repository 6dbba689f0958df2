#pragma once

#include "platform/large_allocation.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sorvin {

// A mutable 8-bit RGBA bitmap being drawn: premultiplied alpha, alpha last, sRGB, rows packed
// (4 * width bytes per row). A new buffer is transparent black unless the writer asks for one it
// promises to overwrite entirely.
class PixelBuffer {
public:
    PixelBuffer(int width, int height);
    // For writers that store every byte of every row; skips the zero fill of a large bitmap.
    static PixelBuffer forOverwrite(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t bytesPerRow() const { return static_cast<std::size_t>(width_) * 4; }
    std::size_t byteCount() const { return bytesPerRow() * static_cast<std::size_t>(height_); }
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::uint8_t* row(int y) { return bytes_.get() + bytesPerRow() * static_cast<std::size_t>(y); }
    const std::uint8_t* row(int y) const { return bytes_.get() + bytesPerRow() * static_cast<std::size_t>(y); }

private:
    PixelBuffer(int width, int height, bool zeroFill);
    friend class Image;
    int width_;
    int height_;
    LargeBytes bytes_;
};

// A finished bitmap: immutable and shared by every holder (caches, views, the engine). Same pixel
// layout as PixelBuffer. Functions that leave an image unchanged hand back the same shared object.
class Image {
public:
    explicit Image(PixelBuffer&& buffer);

    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t bytesPerRow() const { return static_cast<std::size_t>(width_) * 4; }
    std::size_t byteCount() const { return bytesPerRow() * static_cast<std::size_t>(height_); }
    const std::uint8_t* data() const { return bytes_.get(); }
    const std::uint8_t* row(int y) const { return bytes_.get() + bytesPerRow() * static_cast<std::size_t>(y); }

    // A mutable copy of the pixels, for drawing a changed version.
    PixelBuffer copyPixels() const;

private:
    int width_;
    int height_;
    LargeBytes bytes_;
};

using SharedImage = std::shared_ptr<const Image>;

inline SharedImage makeImage(PixelBuffer&& buffer) { return std::make_shared<const Image>(std::move(buffer)); }

} // namespace sorvin
