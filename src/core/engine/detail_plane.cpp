#include "engine/detail_plane.hpp"

#include <cstring>
#include <stdexcept>

namespace sorvin {

DetailPlane DetailPlane::forOverwrite(int width, int height) {
    if (width < 1 || height < 1) throw std::length_error("plane size out of range");
    DetailPlane plane;
    plane.width_ = width;
    plane.height_ = height;
    plane.bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(plane.size());
    return plane;
}

bool DetailPlane::operator==(const DetailPlane& other) const {
    if (empty() || other.empty()) return empty() == other.empty();
    return width_ == other.width_ && height_ == other.height_ &&
           std::memcmp(bytes_.get(), other.bytes_.get(), size()) == 0;
}

} // namespace sorvin
