#pragma once

#include "platform/image.hpp"

namespace sorvin::bench {

inline constexpr int kPhotoWidth = 6000;
inline constexpr int kPhotoHeight = 4000;

// A 24-megapixel bitmap of varied bytes, made once per program.
inline SharedImage syntheticPhoto() {
    static const SharedImage image = [] {
        PixelBuffer buffer(kPhotoWidth, kPhotoHeight);
        for (std::size_t i = 0; i < buffer.byteCount(); ++i)
            buffer.data()[i] = static_cast<std::uint8_t>(i * 31);
        return makeImage(std::move(buffer));
    }();
    return image;
}

} // namespace sorvin::bench
