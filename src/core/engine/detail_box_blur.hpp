#pragma once

#include "engine/detail_plane.hpp"

#include <cstdint>
#include <functional>
#include <vector>

namespace sorvin {

// The running-sum box blur of the detail stage, on 8-bit planes. Every output is the mean of the
// samples of its window that lie inside the plane, rounded half up, so a blur costs the same for
// every radius and the borders average only what is there.
struct DetailBoxBlur {
    // The number of processors, at least 1, decided once.
    static int parallelBandCount();

    // Runs body(begin, end) over consecutive ranges covering 0..<total. In parallel: min(total, four
    // per processor) bands of equal length (the last shorter), taken by whichever thread is free;
    // otherwise one range.
    static void performParallelBands(int total, bool parallel, const std::function<void(int, int)>& body);

    // One box pass along each row (horizontal) or each column (vertical) from `in` into `out`,
    // which is either `in` itself or does not overlap it. Radius 0 copies.
    static void horizontalPass(const std::uint8_t* in, std::uint8_t* out, int width, int height, int radius,
                               bool parallel);
    static void verticalPass(const std::uint8_t* in, std::uint8_t* out, int width, int height, int radius,
                             bool parallel);

    // Buffers a thread reuses from row to row.
    struct RowScratch {
        std::vector<std::uint32_t> prefix;
        std::vector<std::uint8_t> copy;
    };
    // One box pass along a row of `width` bytes; `out` is `in` or does not overlap it.
    static void horizontalRow(const std::uint8_t* in, std::uint8_t* out, int width, int radius,
                              RowScratch& scratch);

    // Output rows [from, to) of a vertical pass over columns [c0, c1) of a picture `height` rows
    // tall, read from and written to planes that hold at least the rows in reach (rings do).
    // sums[c - c0] carries the window sum of column c from one call to the next: the call for
    // rows [from, to) follows the one that ended at `from` (or starts at row 0). Returns the same
    // bytes as a whole verticalPass, however the rows are split. 64-bit sums for windows of
    // 16 million rows and more. With `staging` (c1 - c0 bytes), each row is made there and stored
    // into `out` past the caches: for rows other processors read, where a ring row they have read
    // would otherwise be fetched back from them before it is written over.
    static void verticalRows(const DetailPlane& in, DetailPlane& out, std::uint32_t* sums, int height,
                             int radius, int c0, int c1, int from, int to, std::uint8_t* staging = nullptr);
    static void verticalRows(const DetailPlane& in, DetailPlane& out, std::uint64_t* sums, int height,
                             int radius, int c0, int c1, int from, int to, std::uint8_t* staging = nullptr);

    // Two box blurs in a row (horizontal, vertical, horizontal, vertical, all with `radius`) from
    // `in` into `out`, a plane of the same size; `out` may be `in` for a blur in place. Needs no
    // plane besides them.
    static void blur(const DetailPlane& in, DetailPlane& out, int radius, bool parallel);
    // The same over `height` rows of `width` bytes.
    static void blur(const std::uint8_t* in, std::uint8_t* out, int width, int height, int radius,
                     bool parallel);
};

// (2 * sum + count) div (2 * count): the mean of `count` samples rounded half up. Windows of up to
// 2048 samples divide by a multiply and a shift (exact: numerator times divisor stays below 2^32);
// wider ones divide.
class HalfUpMean {
public:
    explicit HalfUpMean(std::uint64_t count)
        : count_(count),
          multiplier_(count <= kMaxFastCount ? (std::uint64_t{1} << 32) / (2 * count) + 1 : 0) {}

    std::uint8_t operator()(std::uint64_t sum) const {
        const std::uint64_t numerator = 2 * sum + count_;
        if (multiplier_ != 0) return static_cast<std::uint8_t>((numerator * multiplier_) >> 32);
        return static_cast<std::uint8_t>(numerator / (2 * count_));
    }

    static constexpr std::uint64_t kMaxFastCount = 2048;

private:
    std::uint64_t count_;
    std::uint64_t multiplier_;
};

} // namespace sorvin
