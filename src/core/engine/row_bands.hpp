#pragma once

#include "platform/parallel_for.hpp"

#include <algorithm>
#include <tbb/blocked_range.h>

namespace sorvin {

// The horizontal bands a development pass splits its rows into: bands of a few rows each, many
// more than there are cores, so that a core slowed by other work holds up only the bands it took
// and the others take the rest. Short bitmaps still get up to 16 bands.
struct RowBands {
    int height = 0;
    int count = 0;
    int rowsPerBand = 0;

    static constexpr int kMaxRowsPerBand = 8;

    static RowBands of(int height) {
        RowBands bands;
        bands.height = std::max(height, 0);
        if (bands.height == 0) return bands;
        bands.rowsPerBand = std::min((bands.height + 15) / 16, kMaxRowsPerBand);
        bands.count = (bands.height + bands.rowsPerBand - 1) / bands.rowsPerBand;
        return bands;
    }

    int begin(int band) const { return std::min(height, band * rowsPerBand); }
    int end(int band) const { return std::min(height, (band + 1) * rowsPerBand); }

    // Runs body(firstRow, endRow) for every band, in parallel, each band taken by whichever thread
    // is free; returns when all are done.
    template <typename Body>
    void run(const Body& body) const {
        parallelFor(
            tbb::blocked_range<int>(0, count, 1),
            [&](const tbb::blocked_range<int>& range) {
                for (int band = range.begin(); band != range.end(); ++band)
                    body(begin(band), end(band));
            },
            tbb::simple_partitioner());
    }
};

} // namespace sorvin
