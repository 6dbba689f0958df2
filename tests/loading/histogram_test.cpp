#include "loading/histogram_analyzer.hpp"
#include "loading/histogram_data.hpp"

#include <gtest/gtest.h>
#include <numeric>

namespace sorvin {
namespace {

SharedImage filled(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    PixelBuffer buffer(width, height);
    for (std::size_t i = 0; i < buffer.byteCount(); i += 4) {
        buffer.data()[i] = r;
        buffer.data()[i + 1] = g;
        buffer.data()[i + 2] = b;
        buffer.data()[i + 3] = 255;
    }
    return makeImage(std::move(buffer));
}

TEST(HistogramDataTest, SmoothingAveragesInnerBinsAndLeavesTheEndsAlone) {
    std::vector<std::uint64_t> counts(256, 0);
    counts[0] = 7;
    counts[1] = 25;
    counts[128] = 25;
    counts[255] = 9;
    const auto bins = HistogramData::displayBins(counts);
    ASSERT_EQ(bins.size(), 256u);
    EXPECT_EQ(bins[0], 7);
    EXPECT_EQ(bins[255], 9);
    // A single spike spreads over nine bins with the weights 1 2 3 4 5 4 3 2 1 / 25.
    EXPECT_DOUBLE_EQ(bins[128], 5);
    EXPECT_DOUBLE_EQ(bins[124], 1);
    EXPECT_DOUBLE_EQ(bins[126], 3);
    EXPECT_EQ(bins[123], 0);
    // Near the black end the window shrinks and bin 0 is never mixed in.
    EXPECT_GT(bins[1], 0);
    EXPECT_EQ(bins[6], 0);
    // Mass among the inner bins is kept by the ends' windows only approximately; the total of a
    // spike away from the ends is kept exactly.
    EXPECT_NEAR(std::accumulate(bins.begin() + 100, bins.begin() + 160, 0.0), 25, 1e-9);
    EXPECT_EQ(HistogramData::displayBins({1, 2, 3}), (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(HistogramData::displayBins({}).empty());
}

TEST(HistogramAnalyzerTest, AllBlackImageIsFullyBlackClippedAndDrawsBinZeroFull) {
    const HistogramData data = HistogramAnalyzer::analyze(filled(8, 4, 0, 0, 0));
    EXPECT_EQ(data.blackClippingPercentage, 100);
    EXPECT_EQ(data.whiteClippingPercentage, 0);
    for (int i = 1; i <= 254; ++i)
        EXPECT_EQ(data.red[i], 0);
    for (const auto* channel : {&data.red, &data.green, &data.blue}) {
        const auto heights = data.heights(*channel, 100);
        EXPECT_EQ(heights[0], 100);
        EXPECT_EQ(heights[128], 0);
        EXPECT_FALSE(data.clippedBins(*channel)[0]);
    }
}

TEST(HistogramAnalyzerTest, APixelCanBeClippedBothWays) {
    const HistogramData data = HistogramAnalyzer::analyze(filled(3, 3, 255, 128, 0));
    EXPECT_EQ(data.blackClippingPercentage, 100);
    EXPECT_EQ(data.whiteClippingPercentage, 100);
    EXPECT_EQ(data.red[255], 9);
    EXPECT_EQ(data.blue[0], 9);
}

TEST(HistogramAnalyzerTest, PercentagesCountPixelsAndRowsHonourTheirStride) {
    // Rows of 2 pixels padded to 12 bytes; the padding holds values that must not be counted.
    std::vector<std::uint8_t> bytes(12 * 2, 77);
    const std::uint8_t pixels[4][3] = {{0, 10, 10}, {10, 10, 10}, {10, 10, 10}, {255, 255, 255}};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c)
            bytes[static_cast<std::size_t>((i / 2) * 12 + (i % 2) * 4 + c)] = pixels[i][c];
    const HistogramData data = HistogramAnalyzer::analyze(bytes.data(), 2, 2, 12);
    EXPECT_EQ(data.blackClippingPercentage, 25);
    EXPECT_EQ(data.whiteClippingPercentage, 25);
    double greenTotal = 0;
    for (double bin : data.green)
        greenTotal += bin;
    EXPECT_NEAR(greenTotal, 4, 1e-9);
    EXPECT_EQ(HistogramAnalyzer::analyze(nullptr, 2, 2, 12), HistogramData::empty());
    EXPECT_EQ(HistogramAnalyzer::analyze(SharedImage()), HistogramData::empty());
}

TEST(HistogramDataTest, HeightsUseTheTallestInnerBinAndCutTheEnds) {
    HistogramData data = HistogramData::empty();
    data.red[0] = 400;
    data.red[100] = 100;
    data.green[50] = 25;
    const auto red = data.heights(data.red, 10);
    EXPECT_EQ(red[100], 10);
    EXPECT_EQ(red[0], 10);
    EXPECT_DOUBLE_EQ(data.heights(data.green, 10)[50], 5);
    const auto cut = data.clippedBins(data.red);
    EXPECT_TRUE(cut[0]);
    EXPECT_FALSE(cut[100]);
    const HistogramData zeros = HistogramData::empty();
    EXPECT_EQ(zeros.heights(zeros.blue, 10), std::vector<double>(256, 0));
    EXPECT_EQ(zeros.clippedBins(zeros.blue), std::vector<bool>(256, false));
}

} // namespace
} // namespace sorvin
