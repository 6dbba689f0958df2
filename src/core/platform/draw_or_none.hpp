#pragma once

#include "platform/image.hpp"

#include <new>
#include <stdexcept>

namespace sorvin {

// Runs a drawing that makes new bitmaps and hands back its image, or none when a bitmap cannot
// be made (a side of 0, a size beyond the pixel cap, no memory). Image operations that promise
// "no image on failure" wrap their work in this rather than catching allocation errors each.
template <typename Draw>
SharedImage drawOrNone(Draw&& draw) {
    try {
        return draw();
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

} // namespace sorvin
