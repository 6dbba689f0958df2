#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace sorvin {

// The RGB histogram of a developed photo as the panel draws it: 256 display bins per channel,
// already smoothed, and the share of pixels clipped to black and to white (0 ... 100).
struct HistogramData {
    std::vector<double> red;
    std::vector<double> green;
    std::vector<double> blue;
    double blackClippingPercentage = 0;
    double whiteClippingPercentage = 0;

    bool operator==(const HistogramData&) const = default;

    // Three channels of zero bins, no clipping.
    static HistogramData empty();

    // Counts to display bins. 256 counts are smoothed by two five-bin moving averages over bins 1
    // to 254; bins 0 and 255 (pure black and white) are kept as counted and never enter a mean.
    // Any other length is converted unchanged.
    static std::vector<double> displayBins(const std::vector<std::uint64_t>& counts);

    // One bar height per bin of the given channel: the square root of the bin against the tallest
    // inner bin (1 to 254) of all three channels, capped at maximumHeight. When every inner bin
    // is empty the tallest bin of all is the reference.
    std::vector<double> heights(const std::vector<double>& bins, double maximumHeight) const;
    // True where a bar is cut at the top (taller than the reference); in practice bins 0 and 255.
    std::vector<bool> clippedBins(const std::vector<double>& bins) const;

private:
    double referenceHeight() const;
};

} // namespace sorvin
