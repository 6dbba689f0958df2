#pragma once

#include <algorithm>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

namespace sorvin {

// The horizontal bands a development pass splits its rows into: min(height, 16) bands of
// ceil(height / bands) rows; trailing bands may be empty.
struct RowBands {
    int height = 0;
    int count = 0;
    int rowsPerBand = 0;

    static constexpr int kMaxBands = 16;

    static RowBands of(int height) {
        RowBands bands;
        bands.height = std::max(height, 0);
        bands.count = std::min(bands.height, kMaxBands);
        bands.rowsPerBand = bands.count > 0 ? (bands.height + bands.count - 1) / bands.count : 0;
        return bands;
    }

    int begin(int band) const { return std::min(height, band * rowsPerBand); }
    int end(int band) const { return std::min(height, (band + 1) * rowsPerBand); }

    // Runs body(firstRow, endRow) for every non-empty band, in parallel; returns when all are done.
    template <typename Body>
    void run(const Body& body) const {
        tbb::parallel_for(
            tbb::blocked_range<int>(0, count, 1),
            [&](const tbb::blocked_range<int>& range) {
                for (int band = range.begin(); band != range.end(); ++band) {
                    if (begin(band) < end(band)) body(begin(band), end(band));
                }
            },
            tbb::simple_partitioner());
    }
};

} // namespace sorvin
