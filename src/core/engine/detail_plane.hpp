#pragma once

#include "platform/large_allocation.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sorvin {

// Gives a plane's bytes back and takes them off the count of live plane bytes.
struct DetailPlaneRelease {
    std::size_t size = 0;
    LargeBytesRelease bytes;
    bool owned = true; // false: a view into bytes another plane holds
    void operator()(std::uint8_t* bytes) const noexcept;
};

// One byte per pixel, rows packed (width bytes per row). The detail stage's luminance, dark
// channel and colour planes and their blurs. Move-only: a 24 MP plane is 24 MB, so copies are
// never made by accident. An empty plane stands for one that was not needed.
class DetailPlane {
public:
    DetailPlane() = default;
    // Uninitialised bytes: every writer of a plane stores each of its bytes.
    static DetailPlane forOverwrite(int width, int height);

    bool empty() const { return !bytes_; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t size() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    // Row y of the picture: in a ring, row y lies at y mod the ring's rows.
    std::uint8_t* row(int y) { return bytes_.get() + offsetOf(y); }
    const std::uint8_t* row(int y) const { return bytes_.get() + offsetOf(y); }

    // A plane of `rows` rows that holds the last `rows` rows written of a taller picture: row y
    // lies where row y + rows will. For passes that stream down the picture.
    static DetailPlane ring(int width, int rows);
    // The same over `width` * `rows` bytes that another plane holds and outlives it.
    static DetailPlane ringOver(std::uint8_t* bytes, int width, int rows);
    bool isRing() const { return ring_; }

    bool operator==(const DetailPlane& other) const;

    // Bytes held by the planes alive now, and the most held at once since the last reset: how the
    // benchmarks see a development's working memory.
    static std::size_t liveBytes();
    static std::size_t peakLiveBytes();
    static void resetPeakLiveBytes();

private:
    std::size_t offsetOf(int y) const {
        const int stored = ring_ ? y % height_ : y;
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(stored);
    }

    int width_ = 0;
    int height_ = 0;
    bool ring_ = false;
    std::unique_ptr<std::uint8_t[], DetailPlaneRelease> bytes_;
};

} // namespace sorvin
