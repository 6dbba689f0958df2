#include "loading/display_resize_cache.hpp"
#include "loading/lru_cache.hpp"
#include "loading/original_preview_cache.hpp"
#include "loading/prefetch_planner.hpp"
#include "model/photo_parameters.hpp"

#include <gtest/gtest.h>
#include <string>

namespace sorvin {
namespace {

using Cache = LRUCache<std::string, int>;

void fill(Cache& cache, int count) {
    for (int i = 0; i < count; ++i)
        cache.insert(i, std::string("k").append(std::to_string(i)));
}

TEST(LRUCacheTest, TheLeastRecentlyHitOrInsertedEntryGoesFirst) {
    Cache cache(13);
    fill(cache, 13);
    EXPECT_EQ(cache.value("k0"), 0); // read just before: survives although inserted first
    EXPECT_FALSE(cache.value("missing"));
    EXPECT_TRUE(cache.contains("k1")); // looking never reorders
    cache.insert(13, "k13");
    EXPECT_EQ(cache.count(), 13u);
    EXPECT_TRUE(cache.contains("k0"));
    EXPECT_FALSE(cache.contains("k1"));

    cache.insert(20, "k2"); // a replaced value refreshes the key and evicts nothing
    EXPECT_EQ(cache.count(), 13u);
    cache.insert(14, "k14");
    EXPECT_TRUE(cache.contains("k2"));
    EXPECT_FALSE(cache.contains("k3"));
    EXPECT_EQ(cache.value("k2"), 20);
}

TEST(LRUCacheTest, MakingRoomDropsTheLeastRecentEntryOnlyWhenFull) {
    Cache cache(2);
    cache.insert(1, "a");
    cache.makeRoomForOne();
    EXPECT_EQ(cache.count(), 1u);
    cache.insert(2, "b");
    EXPECT_EQ(cache.value("a"), 1);
    cache.makeRoomForOne();
    EXPECT_TRUE(cache.contains("a"));
    EXPECT_FALSE(cache.contains("b"));
}

TEST(LRUCacheTest, EmptyingKeepsTheClockRunning) {
    Cache cache(2);
    fill(cache, 2);
    cache.removeAll();
    EXPECT_EQ(cache.count(), 0u);
    cache.insert(1, "a");
    cache.insert(2, "b");
    EXPECT_EQ(cache.value("a"), 1);
    cache.insert(3, "c");
    EXPECT_TRUE(cache.contains("a"));
    EXPECT_FALSE(cache.contains("b"));
}

TEST(OriginalPreviewCacheTest, AnEntryServesOnlyItsExactKey) {
    PhotoParameters parameters;
    parameters.setValue(10, PhotoParameter::geometry_distortion);
    const OriginalPreviewCacheKey key{
        "a.jpg", PhotoSource::jpeg, 0, {}, OriginalPreviewCacheKey::geometryValuesOf(parameters), {}};
    EXPECT_EQ(key.geometryValues, (std::vector<int>{10, 0, 0, 0, 0, 0, 0}));
    OriginalPreviewCache cache;
    cache.store({key, makeImage(PixelBuffer(2, 2)), {2, 2}, 32});

    OriginalPreviewCacheKey negativeZero = key;
    negativeZero.rotation = -0.0;
    EXPECT_TRUE(cache.value(negativeZero));
    OriginalPreviewCacheKey rotated = key;
    rotated.rotation = 0.5;
    EXPECT_FALSE(cache.value(rotated));
    OriginalPreviewCacheKey zoomed = key;
    zoomed.geometryValues[6] = 1;
    EXPECT_FALSE(cache.value(zoomed));
    OriginalPreviewCacheKey cropped = key;
    cropped.crop.sizeP = 90;
    EXPECT_FALSE(cache.value(cropped));
    OriginalPreviewCacheKey raw = key;
    raw.source = PhotoSource::raw;
    EXPECT_FALSE(cache.value(raw));
}

TEST(DisplayResizeCacheTest, TheSamePhotoAtTheSameSizeIsResizedOnce) {
    DisplayResizeCache cache;
    int resizes = 0;
    const auto resize = [&] {
        ++resizes;
        return makeImage(PixelBuffer(4, 4));
    };
    const DisplayResizeCacheKey key{"a.jpg", PhotoSource::jpeg, 60, 40, 32};
    const SharedImage first = cache.image(key, resize);
    EXPECT_EQ(cache.image(key, resize), first);
    EXPECT_EQ(resizes, 1);

    DisplayResizeCacheKey larger = key;
    larger.targetLongEdge = 64;
    cache.image(larger, resize);
    EXPECT_EQ(cache.storedKey(), larger);
    EXPECT_FALSE(cache.image(key, [] { return SharedImage(); }));
    EXPECT_EQ(cache.storedKey(), larger) << "a failed resize leaves the slot alone";
}

TEST(PrefetchPlannerTest, OrderOfTheRowsToDecode) {
    struct Row {
        int count, current;
        std::optional<int> direction;
        std::vector<int> expected;
    };
    const Row rows[] = {
        {10, 5, std::nullopt, {5, 6, 4, 7, 3, 8, 2, 9, 1}},
        {10, 5, 0, {5, 6, 4, 7, 3, 8, 2, 9, 1}},
        {10, 5, -3, {5, 4, 3, 2, 1, 0, 6, 7}},
        {10, 8, 1, {8, 9, 7, 6}},
        {20, 5, 1, {5, 6, 7, 8, 9, 10, 11, 4, 3}},
        {1, 0, std::nullopt, {0}},
        {10, 0, std::nullopt, {0, 1, 2, 3, 4}},
        {3, 3, std::nullopt, {}},
        {3, -1, 1, {}},
        {0, 0, std::nullopt, {}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PrefetchPlanner::indices(r.count, r.current, r.direction), r.expected)
            << r.count << " " << r.current << " " << r.direction.value_or(99);
}

} // namespace
} // namespace sorvin
