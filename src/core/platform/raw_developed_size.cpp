#include "platform/raw_developed_size.hpp"

#include <cmath>
#include <libraw/libraw.h>

namespace sorvin::RawDevelopedSize {

std::optional<Size> of(const Layout& layout) {
    double width = layout.width;
    double height = layout.height;
    if (layout.fujiWidth > 0) {
        // The diagonal is laid flat as LibRaw turns it: from the last column of its width, each
        // side's pixels 1 / √½ apart, whole pixels only.
        const double step = std::sqrt(0.5);
        const int diagonal = layout.fujiWidth - 1;
        width = std::floor(diagonal / step);
        height = std::floor((layout.height - diagonal) / step);
    }
    if (layout.pixelAspect > 0 && layout.pixelAspect < 1) {
        height = std::floor(height / layout.pixelAspect + 0.5);
    } else if (layout.pixelAspect > 1) {
        width = std::floor(width * layout.pixelAspect + 0.5);
    }
    if (!(width >= 1 && height >= 1 && width <= 1 << 30 && height <= 1 << 30)) return std::nullopt;
    return Size{static_cast<int>(width), static_cast<int>(height)};
}

std::optional<Size> of(LibRaw& opened) {
    const auto& sizes = opened.imgdata.sizes;
    return of(Layout{sizes.width, sizes.height, opened.is_fuji_rotated(), sizes.pixel_aspect});
}

} // namespace sorvin::RawDevelopedSize
