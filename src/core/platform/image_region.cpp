#include "platform/image_region.hpp"

#include <algorithm>
#include <cstring>

namespace sorvin {

SharedImage ImageRegion::copy(const SharedImage& image, int x, int y, int width, int height) {
    if (!image || width <= 0 || height <= 0) return nullptr;
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, image->width());
    const long long bottom = std::min<long long>(static_cast<long long>(y) + height, image->height());
    if (right <= left || bottom <= top) return nullptr;
    if (left == 0 && top == 0 && right == image->width() && bottom == image->height()) return image;
    PixelBuffer buffer =
        PixelBuffer::forOverwrite(static_cast<int>(right - left), static_cast<int>(bottom - top));
    for (int row = 0; row < buffer.height(); ++row) {
        std::memcpy(buffer.row(row), image->row(static_cast<int>(top) + row) + left * 4,
                    buffer.bytesPerRow());
    }
    return makeImage(std::move(buffer));
}

} // namespace sorvin
