#include "loading/exif_loader.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo photo(const std::string& path, PhotoFileFormat format = PhotoFileFormat::jpeg) {
    Photo p;
    p.url = "/photos/" + path;
    p.relativePath = path;
    p.fileFormat = format;
    return p;
}

struct ExifLoaderTest : ::testing::Test {
    test::ManualMainQueue mainQueue;
    test::ManualExecutor executor;
    std::vector<std::pair<std::string, PhotoSource>> reads;
    ExifLoader loader{mainQueue, executor, [this](const Photo& p, PhotoSource source) {
                          reads.emplace_back(p.relativePath, source);
                          ExifMetadata m;
                          m.fileName = p.relativePath;
                          return m;
                      }};

    void finishAll() {
        executor.runAll();
        mainQueue.runPending();
    }
};

TEST_F(ExifLoaderTest, PublishesTheValuesOfTheRequestedPhoto) {
    int changes = 0;
    auto connection = loader.changed.connect([&] { ++changes; });
    loader.load(photo("a.jpg"), std::nullopt);
    EXPECT_EQ(loader.currentPath(), "a.jpg");
    EXPECT_EQ(loader.currentSource(), PhotoSource::jpeg);
    EXPECT_FALSE(loader.metadata());
    EXPECT_EQ(executor.job(0).priority, TaskPriority::userInitiated);
    finishAll();
    ASSERT_TRUE(loader.metadata());
    EXPECT_EQ(loader.metadata()->fileName, "a.jpg");
    EXPECT_EQ(changes, 2);
}

TEST_F(ExifLoaderTest, TheSamePhotoAndSourceIsReadOnce) {
    loader.load(photo("a.jpg"), PhotoSource::jpeg);
    finishAll();
    loader.load(photo("a.jpg"), std::nullopt);
    EXPECT_EQ(executor.started(), 1u);
    EXPECT_TRUE(loader.metadata());
    // The other source of the same photo is a new read.
    loader.load(photo("a.jpg"), PhotoSource::raw);
    EXPECT_EQ(executor.started(), 2u);
    EXPECT_FALSE(loader.metadata());
}

TEST_F(ExifLoaderTest, ANewerRequestWinsEvenWhenTheOlderReadEndsLast) {
    loader.load(photo("a.jpg"), std::nullopt);
    loader.load(photo("b.jpg"), std::nullopt);
    executor.runAt(1); // b
    mainQueue.runPending();
    executor.runAt(0); // a, late
    mainQueue.runPending();
    ASSERT_TRUE(loader.metadata());
    EXPECT_EQ(loader.metadata()->fileName, "b.jpg");
    EXPECT_EQ(loader.currentPath(), "b.jpg");
}

TEST_F(ExifLoaderTest, ARawFileWithoutSourceIsReadAsRaw) {
    loader.load(photo("r.nef", PhotoFileFormat::raw), std::nullopt);
    EXPECT_EQ(loader.currentSource(), PhotoSource::raw);
    finishAll();
    EXPECT_EQ(reads.back().second, PhotoSource::raw);
}

TEST_F(ExifLoaderTest, NothingArrivesAfterClear) {
    loader.load(photo("a.jpg"), std::nullopt);
    loader.clear();
    finishAll();
    EXPECT_FALSE(loader.metadata());
    EXPECT_FALSE(loader.currentPath());
    EXPECT_FALSE(loader.currentSource());
}

TEST_F(ExifLoaderTest, AReadThatOutlivesTheLoaderIsDropped) {
    auto shortLived = std::make_unique<ExifLoader>(mainQueue, executor,
                                                   [](const Photo&, PhotoSource) { return ExifMetadata(); });
    shortLived->load(photo("a.jpg"), std::nullopt);
    shortLived.reset();
    executor.runAll();
    mainQueue.runPending(); // must not touch the destroyed loader
    SUCCEED();
}

TEST(ExifLoaderRealReaderTest, ReadsASampleOnTheExecutor) {
    test::ManualMainQueue mainQueue;
    test::ManualExecutor executor;
    ExifLoader loader(mainQueue, executor);
    Photo nikon = photo("nikon_d40_orient6.jpg");
    nikon.url = test::sample("jpeg/nikon_d40_orient6.jpg");
    loader.load(nikon, std::nullopt);
    executor.runAll();
    mainQueue.runPending();
    ASSERT_TRUE(loader.metadata());
    EXPECT_EQ(loader.metadata()->orientation, 6);
}

} // namespace
} // namespace sorvin
