#include "engine/detail_combination.hpp"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sorvin {
namespace {

TEST(DetailCombination, FourAtATimeGivesTheBytesOfOneByOne) {
    if (!DetailCombination::hasVectorPath()) GTEST_SKIP() << "no vector path on this processor";
    std::mt19937 random(23);
    const auto strength = [&](bool signedValue) {
        const int value = static_cast<int>(random() % 101);
        return (signedValue && random() % 2 ? -value : value) / 100.0;
    };
    for (int round = 0; round < 80; ++round) {
        const int width = 1 + static_cast<int>(random() % 70);
        const int height = 1 + static_cast<int>(random() % 12);
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
        for (auto& b : rgba)
            b = static_cast<std::uint8_t>(random());
        // Each feature on in about half the rounds, so that every combination of steps is met.
        DetailAdjustmentPlan plan;
        const auto on = [&] { return random() % 2 == 0; };
        if (on()) plan.texture = strength(true);
        if (on()) plan.clarity = strength(true);
        if (on()) plan.dehaze = strength(true);
        if (on()) plan.sharpenAmount = strength(false);
        if (on()) plan.noiseLuminanceAmount = strength(false);
        if (on()) plan.noiseColorAmount = strength(false);
        plan.sharpenDetail = strength(false);
        plan.sharpenMask = strength(false);
        plan.noiseLuminanceDetail = strength(false);
        plan.textureRadius = 1 + static_cast<int>(random() % 4);
        plan.clarityRadius = plan.dehazeRadius = 1 + static_cast<int>(random() % 9);
        plan.sharpRadius = plan.luminanceNoiseRadius = plan.colorNoiseRadius =
            1 + static_cast<int>(random() % 3);
        // Every plane at once, colour blurs included, so that each step meets the others.
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        auto colors = DetailAdjustment::colorPlanes(rgba.data(), width, height, stride, true);
        const DetailPlanes planes = DetailAdjustment::makePlanes(
            DetailAdjustment::luminancePlane(rgba.data(), width, height, stride, true),
            DetailAdjustment::darkChannelPlane(rgba.data(), width, height, stride, true), std::move(colors.red),
            std::move(colors.green), std::move(colors.blue), width, height, plan, true);
        for (int y = 0; y < height; ++y) {
            std::vector<std::uint8_t> vector(rgba.begin() + y * width * 4,
                                             rgba.begin() + (y + 1) * width * 4);
            std::vector<std::uint8_t> single = vector;
            DetailCombination::applyRow(vector.data(), y, plan, planes);
            DetailCombination::applyRowOneByOne(single.data(), y, plan, planes);
            ASSERT_EQ(vector, single) << "round " << round << " row " << y;
        }
    }
}

} // namespace
} // namespace sorvin
