#include "platform/lanczos_resampler.hpp"

#include <gtest/gtest.h>
#include <random>

namespace sorvin {
namespace {

SharedImage filled(int width, int height, const std::function<void(int, int, std::uint8_t*)>& paint) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            paint(x, y, buffer.row(y) + 4 * x);
    return makeImage(std::move(buffer));
}

TEST(LanczosResamplerTest, APlainColourStaysExactlyThatColourAtAnySize) {
    const auto plain =
        filled(97, 61, [](int, int, std::uint8_t* p) { p[0] = 13, p[1] = 200, p[2] = 77, p[3] = 255; });
    for (const auto& [w, h] : {std::pair{10, 7}, {96, 60}, {1, 1}, {200, 130}}) {
        const auto out = LanczosResampler::resized(plain, w, h);
        ASSERT_TRUE(out);
        ASSERT_EQ(out->width(), w);
        ASSERT_EQ(out->height(), h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = out->row(y) + 4 * x;
                ASSERT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}),
                          (std::array<int, 4>{13, 200, 77, 255}))
                    << w << "x" << h << " at " << x << "," << y;
            }
    }
}

TEST(LanczosResamplerTest, NoisyPremultipliedPixelsStayValidDespiteRinging) {
    std::mt19937 random(7);
    const auto noisy = filled(300, 200, [&](int, int, std::uint8_t* p) {
        const std::uint8_t alpha = (random() & 1) ? 255 : static_cast<std::uint8_t>(random() % 256);
        p[3] = alpha;
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<std::uint8_t>(alpha == 0 ? 0 : random() % (alpha + 1));
    });
    const auto out = LanczosResampler::resized(noisy, 77, 51);
    ASSERT_TRUE(out);
    for (int y = 0; y < out->height(); ++y)
        for (int x = 0; x < out->width(); ++x) {
            const std::uint8_t* p = out->row(y) + 4 * x;
            ASSERT_LE(p[0], p[3]);
            ASSERT_LE(p[1], p[3]);
            ASSERT_LE(p[2], p[3]);
        }
}

TEST(LanczosResamplerTest, ReductionAveragesFinePatternsInsteadOfAliasingThem) {
    // One-pixel black and white stripes reduced eight times must become an even grey, not stripes.
    const auto stripes = filled(800, 16, [](int x, int, std::uint8_t* p) {
        const std::uint8_t v = (x & 1) ? 255 : 0;
        p[0] = p[1] = p[2] = v, p[3] = 255;
    });
    const auto out = LanczosResampler::resized(stripes, 100, 2);
    ASSERT_TRUE(out);
    for (int x = 3; x < 97; ++x)
        EXPECT_NEAR(out->row(1)[4 * x], 128, 2) << x;
}

TEST(LanczosResamplerTest, RefusesEmptySizesAndHandsBackAnUnchangedImage) {
    const auto image = filled(4, 4, [](int, int, std::uint8_t* p) { p[3] = 255; });
    EXPECT_FALSE(LanczosResampler::resized(image, 0, 4));
    EXPECT_FALSE(LanczosResampler::resized(nullptr, 4, 4));
    EXPECT_EQ(LanczosResampler::resized(image, 4, 4), image);
}

} // namespace
} // namespace sorvin
