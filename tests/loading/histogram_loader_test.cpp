#include "loading/histogram_loader.hpp"
#include "support/manual_main_queue.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

SharedImage grey(int width, int height) {
    PixelBuffer buffer(width, height);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = (i % 4 == 3) ? 255 : 120;
    return makeImage(std::move(buffer));
}

const ManualCrop kWhole{CropAspect::original(), 100, 0, 0};

struct HistogramLoaderTest : ::testing::Test {
    test::ManualMainQueue mainQueue;
    test::ManualExecutor executor;
    std::vector<double> rotationsComputed;
    bool withMask = true;
    HistogramLoader loader{mainQueue, executor, [this](const HistogramRequest& request) {
                               rotationsComputed.push_back(request.rotation);
                               HistogramLoadResult result{HistogramData::empty(), nullptr};
                               result.histogram.whiteClippingPercentage = request.rotation;
                               if (withMask && request.clippingWarningEnabled)
                                   result.clippingWarningImage = grey(1, 1);
                               return std::optional<HistogramLoadResult>(result);
                           }};

    void schedule(const std::string& path, double rotation, bool warning = true) {
        loader.schedule(grey(4, 4), path, rotation, kWhole, PhotoParameters::zero(), warning);
    }
    void finish() {
        mainQueue.advance(HistogramLoader::kPause);
        executor.runAll();
        mainQueue.runPending();
    }
};

TEST_F(HistogramLoaderTest, ABurstOfRequestsComputesOnceForTheLast) {
    schedule("a.jpg", 1);
    mainQueue.advance(0.05);
    schedule("a.jpg", 2);
    mainQueue.advance(0.05);
    EXPECT_EQ(executor.started(), 0u); // the second request's pause is not over yet
    mainQueue.advance(0.05);
    ASSERT_EQ(executor.waiting(), 1u);
    EXPECT_EQ(executor.job(0).priority, TaskPriority::utility);
    finish();
    EXPECT_EQ(rotationsComputed, std::vector<double>{2});
    ASSERT_TRUE(loader.data());
    EXPECT_EQ(loader.data()->whiteClippingPercentage, 2);
    EXPECT_TRUE(loader.clippingWarningImage());
    EXPECT_EQ(loader.clippingWarningPath(), "a.jpg");
}

TEST_F(HistogramLoaderTest, NoSourceEmptiesAtOnce) {
    schedule("a.jpg", 1);
    finish();
    loader.schedule(nullptr, "b.jpg", 0, kWhole, {}, true);
    EXPECT_EQ(loader.currentPath(), "b.jpg");
    EXPECT_FALSE(loader.data());
    EXPECT_FALSE(loader.clippingWarningImage());
    EXPECT_FALSE(loader.clippingWarningPath());
}

TEST_F(HistogramLoaderTest, OldResultsStayUntilReplacedAndLateOnesAreDropped) {
    schedule("a.jpg", 1);
    finish();
    schedule("a.jpg", 2);
    mainQueue.advance(HistogramLoader::kPause);
    EXPECT_EQ(loader.data()->whiteClippingPercentage, 1); // still the previous result
    schedule("b.jpg", 3);                                 // arrives while the run for 2 is in flight
    executor.runAt(0);
    mainQueue.runPending();
    EXPECT_EQ(loader.data()->whiteClippingPercentage, 1);
    finish();
    EXPECT_EQ(loader.data()->whiteClippingPercentage, 3);
    EXPECT_EQ(loader.clippingWarningPath(), "b.jpg");
}

TEST_F(HistogramLoaderTest, ClearDropsTheRunInFlight) {
    schedule("a.jpg", 1);
    mainQueue.advance(HistogramLoader::kPause);
    loader.clear();
    executor.runAll();
    mainQueue.runPending();
    EXPECT_FALSE(loader.data());
    EXPECT_FALSE(loader.currentPath());
    // A pending pause is called off too: nothing is computed.
    schedule("b.jpg", 2);
    loader.clear();
    mainQueue.advance(1);
    EXPECT_EQ(executor.waiting(), 0u);
}

TEST_F(HistogramLoaderTest, MaskOnlyWithTheWarningOnAndAFailedRunEmptiesTheHistogram) {
    schedule("a.jpg", 1, false);
    finish();
    EXPECT_TRUE(loader.data());
    EXPECT_FALSE(loader.clippingWarningImage());
    EXPECT_FALSE(loader.clippingWarningPath());

    HistogramLoader failing(mainQueue, executor, [](const HistogramRequest&) { return std::nullopt; });
    failing.schedule(grey(2, 2), "a.jpg", 0, kWhole, {}, true);
    mainQueue.advance(HistogramLoader::kPause);
    executor.runAll();
    mainQueue.runPending();
    EXPECT_EQ(failing.currentPath(), "a.jpg");
    EXPECT_FALSE(failing.data());
}

TEST(HistogramLoaderRealProcessorTest, CountsTheImage) {
    test::ManualMainQueue mainQueue;
    test::ManualExecutor executor;
    HistogramLoader loader(mainQueue, executor);
    loader.schedule(grey(40, 30), "a.jpg", 0, kWhole, PhotoParameters::zero(), true);
    mainQueue.advance(HistogramLoader::kPause);
    executor.runAll();
    mainQueue.runPending();
    ASSERT_TRUE(loader.data());
    EXPECT_EQ(loader.data()->blackClippingPercentage, 0);
    ASSERT_TRUE(loader.clippingWarningImage());
    EXPECT_EQ(loader.clippingWarningImage()->width(), 40);
}

} // namespace
} // namespace sorvin
