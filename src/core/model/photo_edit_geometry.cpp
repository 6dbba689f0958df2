#include "model/photo_edit_geometry.hpp"

#include "platform/draw_or_none.hpp"

#include <cstring>

namespace sorvin {

SharedImage PhotoEditGeometry::croppedImage(const SharedImage& image, const ManualCrop& crop) {
    if (!image) return nullptr;
    const ManualCropGeometry g = crop.geometry(image->width(), image->height());
    if (g.x == 0 && g.y == 0 && g.width == image->width() && g.height == image->height()) return image;
    try {
        PixelBuffer out = PixelBuffer::forOverwrite(g.width, g.height); // every row copied below
        for (int y = 0; y < g.height; ++y) {
            std::memcpy(out.row(y), image->row(g.y + y) + static_cast<std::size_t>(g.x) * 4,
                        out.bytesPerRow());
        }
        return makeImage(std::move(out));
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

} // namespace sorvin
