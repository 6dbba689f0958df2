#include "engine/clipping_warning_analyzer.hpp"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace sorvin {
namespace {

using Rgba = std::array<int, 4>;

SharedImage row(const std::vector<Rgba>& pixels) {
    PixelBuffer buffer(static_cast<int>(pixels.size()), 1);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < 4; ++c)
            buffer.row(0)[4 * i + c] = static_cast<std::uint8_t>(pixels[i][c]);
    }
    return makeImage(std::move(buffer));
}

Rgba at(const Image& image, int x, int y = 0) {
    const std::uint8_t* p = image.row(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

TEST(ClippingWarningAnalyzerTest, AllThreeChannelsMustBeAtTheLimit) {
    const Rgba red{255, 69, 58, 255};
    const Rgba blue{10, 132, 255, 255};
    const Rgba none{0, 0, 0, 0};
    struct Case {
        Rgba source;
        Rgba mask;
    };
    const Case cases[] = {
        {{254, 254, 254, 255}, red},
        {{255, 255, 255, 255}, red},
        {{253, 255, 255, 255}, none},
        {{255, 255, 253, 255}, none},
        {{1, 1, 1, 255}, blue},
        {{0, 0, 0, 255}, blue},
        {{0, 0, 2, 255}, none},
        {{2, 0, 0, 255}, none},
        {{128, 128, 128, 255}, none},
        // Alpha is not read: a transparent black pixel counts as clipped shadow.
        {{0, 0, 0, 0}, blue},
        {{255, 255, 255, 0}, red},
    };
    std::vector<Rgba> sources;
    for (const Case& c : cases)
        sources.push_back(c.source);
    const auto pixels = HistogramPixelData::make(row(sources));
    ASSERT_TRUE(pixels.has_value());
    const SharedImage mask = ClippingWarningAnalyzer::makeMask(*pixels);
    ASSERT_NE(mask, nullptr);
    ASSERT_EQ(mask->width(), static_cast<int>(sources.size()));
    ASSERT_EQ(mask->height(), 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(at(*mask, static_cast<int>(i)), cases[i].mask);
    }
}

TEST(ClippingWarningAnalyzerTest, MaskHasThePicturesSizeAndIsTransparentWithoutClipping) {
    PixelBuffer buffer(7, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(20 * x + 2);
            p[1] = static_cast<std::uint8_t>(30 * y + 2);
            p[2] = 200;
            p[3] = 255;
        }
    }
    // One clipped pixel in a corner proves the rows are not mixed up.
    std::fill(buffer.row(4) + 24, buffer.row(4) + 28, 255);
    const auto pixels = HistogramPixelData::make(makeImage(std::move(buffer)));
    ASSERT_TRUE(pixels.has_value());
    const SharedImage mask = ClippingWarningAnalyzer::makeMask(*pixels);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->width(), 7);
    EXPECT_EQ(mask->height(), 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const Rgba expected = x == 6 && y == 4 ? Rgba{255, 69, 58, 255} : Rgba{0, 0, 0, 0};
            EXPECT_EQ(at(*mask, x, y), expected) << x << "," << y;
        }
    }
}

TEST(ClippingWarningAnalyzerTest, MissingPixelsGiveNoMask) {
    EXPECT_FALSE(HistogramPixelData::make(nullptr).has_value());
    EXPECT_EQ(ClippingWarningAnalyzer::makeMask(HistogramPixelData{}), nullptr);
    // A description larger than its pixels is refused rather than read past the end.
    auto pixels = HistogramPixelData::make(row({{255, 255, 255, 255}}));
    ASSERT_TRUE(pixels.has_value());
    pixels->height = 2;
    EXPECT_EQ(ClippingWarningAnalyzer::makeMask(*pixels), nullptr);
}

TEST(ClippingWarningAnalyzerTest, OnePixelOfWhiteGivesOneRedPixel) {
    const SharedImage mask =
        ClippingWarningAnalyzer::makeMask(*HistogramPixelData::make(row({{255, 255, 255, 255}})));
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(at(*mask, 0), (Rgba{255, 69, 58, 255}));
}

} // namespace
} // namespace sorvin
