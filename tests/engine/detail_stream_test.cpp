#include "engine/detail_stream.hpp"

#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <tbb/task_arena.h>
#include <vector>

namespace sorvin {
namespace {

TEST(DetailStream, StepsOfAnyHeightGiveTheBytesOfWholePlanes) {
    struct Case {
        const char* name;
        int width, height;
        int texture, clarity, sharp, luminanceNoise, color;
    };
    // Reaches longer than the thinnest steps, reaches beyond the picture, one column and few rows.
    const Case cases[] = {{"short reaches", 53, 400, 3, 9, 2, 4, 5},
                          {"reaches beyond the picture", 21, 30, 40, 70, 35, 31, 33},
                          {"one column", 1, 50, 2, 7, 1, 1, 3},
                          {"two rows", 70, 2, 1, 3, 2, 1, 1}};
    std::mt19937 random(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DetailAdjustmentPlan plan;
        plan.texture = 0.6;
        plan.clarity = -0.4;
        plan.dehaze = 0.35;
        plan.sharpenAmount = 0.8;
        plan.sharpenMask = 0.2;
        plan.noiseLuminanceAmount = 0.5;
        plan.noiseColorAmount = 0.7;
        plan.textureRadius = c.texture;
        plan.clarityRadius = plan.dehazeRadius = c.clarity;
        plan.sharpRadius = c.sharp;
        plan.luminanceNoiseRadius = c.luminanceNoise;
        plan.colorNoiseRadius = c.color;
        std::vector<std::uint8_t> input(4 * static_cast<std::size_t>(c.width) * c.height);
        for (auto& byte : input)
            byte = static_cast<std::uint8_t>(random());
        const std::size_t stride = 4 * static_cast<std::size_t>(c.width);

        std::vector<std::uint8_t> whole = input;
        const DetailPlanes planes =
            DetailAdjustment::planesFromBitmap(whole.data(), c.width, c.height, stride, plan);
        for (int y = 0; y < c.height; ++y)
            DetailAdjustment::applyRow(whole.data() + stride * y, y, plan, planes);

        // Every blur's passes go to a home thread: one thread with all of them, several sharing
        // threads, or one thread each.
        for (int threads : {1, 3, tbb::task_arena::automatic}) {
            SCOPED_TRACE(threads);
            tbb::task_arena arena(threads);
            // With the bitmap's rows there from the start, or written by the sweep as it goes
            // (over bytes that would spoil any blur that read them before).
            for (const bool prepares : {false, true}) {
                for (int stepRows : {1, 4, 11, DetailStream::kStepRows, 1000}) {
                    SCOPED_TRACE(testing::Message() << "prepares " << prepares << ", step rows " << stepRows);
                    std::vector<std::uint8_t> bytes =
                        prepares ? std::vector<std::uint8_t>(input.size(), 0xff) : input;
                    DetailStream stream(bytes.data(), c.width, c.height, stride, plan, stepRows);
                    std::mutex mutex;
                    const std::vector<int> once(static_cast<std::size_t>(c.height), 1);
                    std::vector<int> prepared(static_cast<std::size_t>(c.height), 0);
                    std::vector<int> finished(static_cast<std::size_t>(c.height), 0);
                    const auto count = [&](std::vector<int>& rows, int begin, int end) {
                        const std::lock_guard lock(mutex);
                        for (int y = begin; y < end; ++y)
                            ++rows[static_cast<std::size_t>(y)];
                        return true;
                    };
                    const auto finish = [&](int begin, int end) {
                        for (int y = begin; y < end; ++y)
                            DetailAdjustment::applyRow(bytes.data() + stride * y, y, plan, stream.planes());
                        return count(finished, begin, end);
                    };
                    const auto prepare = [&](int begin, int end) {
                        std::copy(input.begin() + static_cast<std::ptrdiff_t>(stride * begin),
                                  input.begin() + static_cast<std::ptrdiff_t>(stride * end),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(stride * begin));
                        return count(prepared, begin, end);
                    };
                    arena.execute([&] {
                        if (prepares)
                            stream.run(prepare, finish);
                        else
                            stream.run(finish);
                    });
                    EXPECT_EQ(finished, once);
                    if (prepares) {
                        EXPECT_EQ(prepared, once);
                    }
                    EXPECT_EQ(bytes, whole);
                }
            }
        }
    }
}

} // namespace
} // namespace sorvin
