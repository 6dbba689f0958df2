#include "platform/area_resampler.hpp"

#include <gtest/gtest.h>
#include <numeric>

namespace sorvin {
namespace {

TEST(AreaResamplerTest, WeightsCoverEachTargetPixelsShareOfTheSource) {
    // 5 → 2: pixel 0 covers source 0, 1 and half of 2.
    const auto w = AreaResampler::axisWeights(5, 2);
    ASSERT_EQ(w.first, (std::vector<int>{0, 2}));
    ASSERT_EQ(w.count, (std::vector<int>{3, 3}));
    EXPECT_FLOAT_EQ(w.weights[0], 0.4f);
    EXPECT_FLOAT_EQ(w.weights[1], 0.4f);
    EXPECT_FLOAT_EQ(w.weights[2], 0.2f);
    EXPECT_FLOAT_EQ(w.weights[3], 0.2f);
    for (auto [source, target] :
         {std::pair{1006, 1000}, std::pair{7, 7}, std::pair{3, 8}, std::pair{4128, 1}}) {
        SCOPED_TRACE(testing::Message() << source << " → " << target);
        const auto axis = AreaResampler::axisWeights(source, target);
        ASSERT_EQ(axis.first.size(), static_cast<std::size_t>(target));
        for (int i = 0; i < target; ++i) {
            ASSERT_GE(axis.first[i], 0);
            ASSERT_LE(axis.first[i] + axis.count[i], source);
            const auto begin = axis.weights.begin() + static_cast<std::ptrdiff_t>(axis.offset[i]);
            EXPECT_NEAR(std::accumulate(begin, begin + axis.count[i], 0.0), 1.0, 1e-5);
        }
    }
}

TEST(AreaResamplerTest, ResizeAveragesEveryChannelAndKeepsAnUnchangedImage) {
    PixelBuffer buffer(4, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = x < 2 ? 0 : 200;
            p[1] = static_cast<std::uint8_t>(y * 101);
            p[2] = 7;
            p[3] = x % 2 ? 255 : 0;
        }
    }
    const SharedImage image = makeImage(std::move(buffer));
    EXPECT_EQ(AreaResampler::resize(image, 4, 2), image);
    const SharedImage half = AreaResampler::resize(image, 2, 1);
    ASSERT_NE(half, nullptr);
    ASSERT_EQ(half->width(), 2);
    const std::uint8_t* p = half->row(0);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[4], 200);
    EXPECT_EQ(p[1], 51); // 50.5 rounds up
    EXPECT_EQ(p[2], 7);
    EXPECT_EQ(p[3], 128); // 127.5 rounds up
}

} // namespace
} // namespace sorvin
