#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_cache.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace sorvin {
namespace {

using P = PhotoParameter;

// A result whose picture's width tells which development made it.
RawDevelopmentResult made(int serial) {
    return {makeImage(PixelBuffer(serial, 1)), {}};
}

int serialOf(const std::optional<RawDevelopmentResult>& result) {
    return result ? result->image->width() : 0;
}

RawDevelopmentRequest request(const std::string& photo, int exposure = 38,
                              std::optional<int> longEdge = 1024) {
    RawDevelopmentRequest r;
    r.photoIdentifier = photo;
    r.parameters.setValue(exposure, P::raw_exposure);
    r.maximumLongEdge = longEdge;
    return r;
}

RawDevelopmentCacheKey key(const std::string& photo, int exposure = 38) {
    return {photo, RawDevelopmentSettings(request(photo, exposure).parameters)};
}

// Counts its developments and numbers their results 1, 2, 3 …
struct CountingDevelopment {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    bool fails = false;
    std::optional<RawDevelopmentResult> operator()(const RawDevelopmentRequest&) const {
        const int serial = ++*calls;
        if (fails) return std::nullopt;
        return made(serial);
    }
};

TEST(RawDevelopmentCacheTest, SamePhotoAndSettingsAreDevelopedOnce) {
    CountingDevelopment counting;
    RawDevelopmentCache cache(counting);
    EXPECT_EQ(serialOf(cache.result(request("a.nef"))), 1);
    EXPECT_EQ(serialOf(cache.result(request("a.nef"))), 1);
    // The key holds no size.
    EXPECT_EQ(serialOf(cache.result(request("a.nef", 38, std::nullopt))), 1);
    EXPECT_EQ(counting.calls->load(), 1);

    EXPECT_EQ(serialOf(cache.result(request("a.nef", 60))), 2);
    EXPECT_EQ(serialOf(cache.result(request("b.nef", 60))), 3);
    EXPECT_EQ(serialOf(cache.result(request("a.nef", 60))), 4) << "one entry only";
}

TEST(RawDevelopmentCacheTest, ReadersNeverDevelop) {
    CountingDevelopment counting;
    RawDevelopmentCache cache(counting);
    EXPECT_FALSE(cache.cachedResult("a.nef").has_value());
    cache.result(request("a.nef", 60));
    EXPECT_EQ(serialOf(cache.cachedResult("a.nef")), 1) << "by photo, whatever the settings";
    EXPECT_FALSE(cache.cachedResult("b.nef").has_value());
    EXPECT_EQ(serialOf(cache.cachedResult(key("a.nef", 60))), 1);
    EXPECT_FALSE(cache.cachedResult(key("a.nef", 61)).has_value());
    EXPECT_EQ(counting.calls->load(), 1);
}

TEST(RawDevelopmentCacheTest, FailedDevelopmentsAreNotCached) {
    CountingDevelopment counting;
    counting.fails = true;
    RawDevelopmentCache cache(counting);
    EXPECT_FALSE(cache.result(request("a.nef")).has_value());
    EXPECT_FALSE(cache.result(request("a.nef")).has_value());
    EXPECT_EQ(counting.calls->load(), 2);
    EXPECT_FALSE(cache.cachedResult("a.nef").has_value());
}

TEST(RawDevelopmentCacheTest, RemovingTheEntryDevelopsAgain) {
    CountingDevelopment counting;
    RawDevelopmentCache cache(counting);
    cache.result(request("a.nef"));
    cache.removeResult(key("a.nef", 60));
    EXPECT_EQ(serialOf(cache.cachedResult("a.nef")), 1) << "another key removes nothing";
    cache.removeResult(key("a.nef"));
    EXPECT_FALSE(cache.cachedResult("a.nef").has_value());
    EXPECT_EQ(serialOf(cache.result(request("a.nef"))), 2);
}

// A development that waits until the test lets it finish, so overlaps are exact.
class GatedDevelopment {
public:
    struct Gate {
        std::promise<void> started;
        std::promise<void> release;
    };
    std::map<std::string, std::shared_ptr<Gate>> gates;
    std::atomic<int> serial{0};

    std::shared_ptr<Gate> gate(const std::string& photo) { return gates[photo] = std::make_shared<Gate>(); }
    RawDevelopmentCache::Development development() {
        return [this](const RawDevelopmentRequest& r) -> std::optional<RawDevelopmentResult> {
            const auto g = gates.at(r.photoIdentifier);
            g->started.set_value();
            g->release.get_future().wait();
            return made(++serial);
        };
    }
};

TEST(RawDevelopmentCacheTest, ADevelopmentOvertakenByARemovalIsReturnedButNotStored) {
    GatedDevelopment gated;
    const auto gate = gated.gate("a.nef");
    RawDevelopmentCache cache(gated.development());
    auto running = std::async(std::launch::async, [&] { return cache.result(request("a.nef")); });
    gate->started.get_future().wait();
    cache.removeResult(key("elsewhere.nef"));
    gate->release.set_value();
    EXPECT_EQ(serialOf(running.get()), 1);
    EXPECT_FALSE(cache.cachedResult("a.nef").has_value());
}

TEST(RawDevelopmentCacheTest, OverlappingDevelopmentsAreStoredAsTheyFinishAndTheLastStays) {
    GatedDevelopment gated;
    const auto first = gated.gate("a.nef");
    const auto second = gated.gate("b.nef");
    RawDevelopmentCache cache(gated.development());
    auto a = std::async(std::launch::async, [&] { return cache.result(request("a.nef")); });
    auto b = std::async(std::launch::async, [&] { return cache.result(request("b.nef")); });
    first->started.get_future().wait();
    second->started.get_future().wait();

    second->release.set_value();
    EXPECT_EQ(serialOf(b.get()), 1);
    EXPECT_EQ(serialOf(cache.cachedResult("b.nef")), 1);
    first->release.set_value();
    EXPECT_EQ(serialOf(a.get()), 2);
    EXPECT_EQ(serialOf(cache.cachedResult("a.nef")), 2);
    EXPECT_FALSE(cache.cachedResult("b.nef").has_value());
}

TEST(FullResolutionRawCacheTest, AnswersOnlyItsOwnPathAndSettings) {
    FullResolutionRawCache cache;
    const FullResolutionRawCacheKey a{"a.nef", RawDevelopmentSettings()};
    EXPECT_FALSE(cache.result(a).has_value());
    cache.store(a, made(1));
    EXPECT_EQ(serialOf(cache.result(a)), 1);
    EXPECT_FALSE(cache.result({"b.nef", RawDevelopmentSettings()}).has_value());
    EXPECT_FALSE(cache.result({"a.nef", key("a.nef", 60).settings}).has_value());
    cache.store({"b.nef", RawDevelopmentSettings()}, made(2));
    EXPECT_FALSE(cache.result(a).has_value());
    cache.clear();
    EXPECT_FALSE(cache.result({"b.nef", RawDevelopmentSettings()}).has_value());
}

TEST(FullResolutionRawCacheTest, ReadersOnOtherThreadsSeeWholeEntries) {
    FullResolutionRawCache cache;
    const FullResolutionRawCacheKey a{"a.nef", RawDevelopmentSettings()};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const auto r = cache.result(a);
            if (r) {
                EXPECT_EQ(r->image->height(), 1);
            }
        }
    });
    for (int i = 1; i <= 2000; ++i) {
        cache.store(a, made(i % 7 + 1));
        if (i % 3 == 0) cache.clear();
    }
    done = true;
    reader.join();
}

} // namespace
} // namespace sorvin
