#include "shell/update_feed.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(UpdateFeed, VersionsCompareNumericallyPartByPart) {
    struct Row {
        const char* candidate;
        const char* current;
        bool newer;
    };
    const Row rows[] = {
        {"1.10", "1.9", true},    {"1.9", "1.10", false},       {"1.2", "1.2.0", false},
        {"1.2.1", "1.2", true},   {"0.1.0", "0.0.0-dev", true}, {"0.1.0", "0.1.0", false},
        {"2", "1.99.99", true},   {"1.x", "1.0", false},        {"", "1.0", false},
        {"1.0", "garbage", true}, {"1..2", "1.0", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(UpdateFeed::isNewer(row.candidate, row.current), row.newer)
            << row.candidate << " " << row.current;
}

TEST(UpdateFeed, OnlyAnObjectWithAVersionIsAFeed) {
    const auto feed = UpdateFeed::parse(R"({"version": "1.4.0", "url": "https://example.org/dl"})");
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->version, "1.4.0");
    EXPECT_EQ(feed->url, "https://example.org/dl");
    EXPECT_EQ(UpdateFeed::parse(R"({"version": "1.4"})")->url, "");
    for (const char* bad : {"", "1.4.0", "[]", R"({"url": "x"})", R"({"version": 14})",
                            R"({"version": "new"})", "{\"version\": \"1.4\""})
        EXPECT_FALSE(UpdateFeed::parse(bad)) << bad;
}

} // namespace
} // namespace sorvin
