#include "loading/histogram_analyzer.hpp"

#include <vector>

namespace sorvin {

HistogramData HistogramAnalyzer::analyze(const std::uint8_t* pixels, int width, int height,
                                         std::size_t bytesPerRow) {
    if (pixels == nullptr || width < 1 || height < 1) return HistogramData::empty();
    std::vector<std::uint64_t> red(256, 0), green(256, 0), blue(256, 0);
    std::uint64_t black = 0;
    std::uint64_t white = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = pixels + static_cast<std::size_t>(y) * bytesPerRow;
        for (int x = 0; x < width; ++x, p += 4) {
            const std::uint8_t r = p[0], g = p[1], b = p[2];
            ++red[r];
            ++green[g];
            ++blue[b];
            black += (r == 0) | (g == 0) | (b == 0);
            white += (r == 255) | (g == 255) | (b == 255);
        }
    }
    const double pixelCount = static_cast<double>(width) * static_cast<double>(height);
    return HistogramData{HistogramData::displayBins(red), HistogramData::displayBins(green),
                         HistogramData::displayBins(blue), static_cast<double>(black) * 100 / pixelCount,
                         static_cast<double>(white) * 100 / pixelCount};
}

HistogramData HistogramAnalyzer::analyze(const SharedImage& image) {
    if (!image) return HistogramData::empty();
    return analyze(image->data(), image->width(), image->height(), image->bytesPerRow());
}

HistogramData HistogramAnalyzer::analyze(const HistogramPixelData& pixels) {
    if (!pixels.pixels) return HistogramData::empty();
    return analyze(pixels.pixels->data(), pixels.width, pixels.height, pixels.bytesPerRow);
}

} // namespace sorvin
