#include "loading/histogram_data.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

constexpr std::size_t kBinCount = 256;

std::vector<double> smoothedOnce(const std::vector<double>& input) {
    std::vector<double> output = input;
    for (std::size_t i = 1; i <= 254; ++i) {
        const std::size_t first = std::max<std::size_t>(i, 3) - 2;
        const std::size_t last = std::min<std::size_t>(i + 2, 254);
        double sum = 0;
        for (std::size_t j = first; j <= last; ++j)
            sum += input[j];
        output[i] = sum / static_cast<double>(last - first + 1);
    }
    return output;
}

double largestBin(const std::vector<double>& bins, std::size_t first, std::size_t last) {
    double largest = 0;
    for (std::size_t i = first; i <= last && i < bins.size(); ++i)
        largest = std::max(largest, bins[i]);
    return largest;
}

} // namespace

HistogramData HistogramData::empty() {
    const std::vector<double> zeros = displayBins(std::vector<std::uint64_t>(kBinCount, 0));
    return HistogramData{zeros, zeros, zeros, 0, 0};
}

std::vector<double> HistogramData::displayBins(const std::vector<std::uint64_t>& counts) {
    std::vector<double> bins(counts.begin(), counts.end());
    if (bins.size() != kBinCount) return bins;
    return smoothedOnce(smoothedOnce(bins));
}

double HistogramData::referenceHeight() const {
    double reference = 0;
    for (const auto* channel : {&red, &green, &blue})
        reference = std::max(reference, largestBin(*channel, 1, 254));
    if (reference > 0) return reference;
    for (const auto* channel : {&red, &green, &blue})
        reference = std::max(reference, largestBin(*channel, 0, kBinCount - 1));
    return reference;
}

std::vector<double> HistogramData::heights(const std::vector<double>& bins, double maximumHeight) const {
    const double reference = referenceHeight();
    std::vector<double> result(bins.size(), 0);
    if (!(reference > 0)) return result;
    for (std::size_t i = 0; i < bins.size(); ++i)
        result[i] = maximumHeight * std::min(std::sqrt(bins[i] / reference), 1.0);
    return result;
}

std::vector<bool> HistogramData::clippedBins(const std::vector<double>& bins) const {
    const double reference = referenceHeight();
    std::vector<bool> result(bins.size(), false);
    if (!(reference > 0)) return result;
    for (std::size_t i = 0; i < bins.size(); ++i)
        result[i] = bins[i] > reference;
    return result;
}

} // namespace sorvin
