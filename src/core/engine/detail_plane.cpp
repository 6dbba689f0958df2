#include "engine/detail_plane.hpp"

#include "platform/large_allocation.hpp"

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace sorvin {

namespace {
std::atomic<std::size_t> liveBytesNow{0};
std::atomic<std::size_t> mostLiveBytes{0};
} // namespace

void DetailPlaneRelease::operator()(std::uint8_t* bytes) const noexcept {
    if (!owned) return;
    liveBytesNow.fetch_sub(size, std::memory_order_relaxed);
    this->bytes(bytes);
}

DetailPlane DetailPlane::forOverwrite(int width, int height) {
    if (width < 1 || height < 1) throw std::length_error("plane size out of range");
    DetailPlane plane;
    plane.width_ = width;
    plane.height_ = height;
    const std::size_t size = plane.size();
    LargeBytes bytes = allocateLargeBytes(size);
    const LargeBytesRelease release = bytes.get_deleter();
    plane.bytes_ = std::unique_ptr<std::uint8_t[], DetailPlaneRelease>(bytes.release(),
                                                                       DetailPlaneRelease{size, release});
    const std::size_t live = liveBytesNow.fetch_add(size, std::memory_order_relaxed) + size;
    std::size_t most = mostLiveBytes.load(std::memory_order_relaxed);
    while (live > most && !mostLiveBytes.compare_exchange_weak(most, live, std::memory_order_relaxed)) {
    }
    return plane;
}

DetailPlane DetailPlane::ring(int width, int rows) {
    DetailPlane plane = forOverwrite(width, rows);
    plane.ring_ = true;
    return plane;
}

DetailPlane DetailPlane::ringOver(std::uint8_t* bytes, int width, int rows) {
    if (width < 1 || rows < 1) throw std::length_error("plane size out of range");
    DetailPlane plane;
    plane.width_ = width;
    plane.height_ = rows;
    plane.ring_ = true;
    plane.bytes_ =
        std::unique_ptr<std::uint8_t[], DetailPlaneRelease>(bytes, DetailPlaneRelease{0, {}, false});
    return plane;
}

std::size_t DetailPlane::liveBytes() {
    return liveBytesNow.load(std::memory_order_relaxed);
}

std::size_t DetailPlane::peakLiveBytes() {
    return mostLiveBytes.load(std::memory_order_relaxed);
}

void DetailPlane::resetPeakLiveBytes() {
    mostLiveBytes.store(liveBytesNow.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

bool DetailPlane::operator==(const DetailPlane& other) const {
    if (empty() || other.empty()) return empty() == other.empty();
    return width_ == other.width_ && height_ == other.height_ && ring_ == other.ring_ &&
           std::memcmp(bytes_.get(), other.bytes_.get(), size()) == 0;
}

} // namespace sorvin
