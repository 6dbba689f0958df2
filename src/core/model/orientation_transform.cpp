#include "model/orientation_transform.hpp"

#include "platform/draw_or_none.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tbb/blocked_range.h>

namespace sorvin {

namespace {

// Where the output pixel (row R, column C) is read from: source row = row0 + R * rowPerR + C *
// rowPerC, source column = column0 + R * columnPerR + C * columnPerC.
struct SourceMap {
    std::int64_t row0, rowPerR, rowPerC;
    std::int64_t column0, columnPerR, columnPerC;
};

// The inverse of each orientation's move of stored (r, c), for a stored w x h image.
SourceMap sourceMap(int orientation, std::int64_t w, std::int64_t h) {
    switch (orientation) {
    case 2:
        return {0, 1, 0, w - 1, 0, -1}; // (r, w-1-c)
    case 3:
        return {h - 1, -1, 0, w - 1, 0, -1}; // (h-1-r, w-1-c)
    case 4:
        return {h - 1, -1, 0, 0, 0, 1}; // (h-1-r, c)
    case 5:
        return {0, 0, 1, 0, 1, 0}; // (c, r)
    case 6:
        return {h - 1, 0, -1, 0, 1, 0}; // (c, h-1-r)
    case 7:
        return {h - 1, 0, -1, w - 1, -1, 0}; // (w-1-c, h-1-r)
    default:
        return {0, 0, 1, w - 1, -1, 0}; // 8: (w-1-c, r)
    }
}

} // namespace

SharedImage OrientationTransform::transformedImage(const SharedImage& image, int orientation) {
    if (!image || orientation < 2 || orientation > 8) return image;
    const int w = image->width();
    const int h = image->height();
    const bool exchanged = orientation >= 5;
    const int outWidth = exchanged ? h : w;
    const int outHeight = exchanged ? w : h;
    return drawOrNone([&] {
        // Every pixel is written below, so the buffer needs no fill.
        PixelBuffer out = PixelBuffer::forOverwrite(outWidth, outHeight);
        const SourceMap map = sourceMap(orientation, w, h);
        const std::uint8_t* source = image->data();
        const std::int64_t stepPerC = (map.rowPerC * w + map.columnPerC) * 4;
        // Tiles keep the reads of the transposing orientations within the cache.
        constexpr int kTile = 64;
        const int tileRows = (outHeight + kTile - 1) / kTile;
        parallelFor(tbb::blocked_range<int>(0, tileRows), [&](const tbb::blocked_range<int>& range) {
            for (int tileRow = range.begin(); tileRow != range.end(); ++tileRow) {
                const int rowEnd = std::min(outHeight, (tileRow + 1) * kTile);
                for (int columnStart = 0; columnStart < outWidth; columnStart += kTile) {
                    const int columnEnd = std::min(outWidth, columnStart + kTile);
                    for (int R = tileRow * kTile; R < rowEnd; ++R) {
                        const std::int64_t r = map.row0 + R * map.rowPerR + columnStart * map.rowPerC;
                        const std::int64_t c =
                            map.column0 + R * map.columnPerR + columnStart * map.columnPerC;
                        std::int64_t from = (r * w + c) * 4;
                        std::uint8_t* to = out.row(R) + static_cast<std::size_t>(columnStart) * 4;
                        for (int C = columnStart; C < columnEnd; ++C, from += stepPerC, to += 4) {
                            std::memcpy(to, source + from, 4);
                        }
                    }
                }
            }
        });
        return makeImage(std::move(out));
    });
}

} // namespace sorvin
