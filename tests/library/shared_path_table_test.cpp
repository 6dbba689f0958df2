#include "library/shared_path_table.hpp"

#include <atomic>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace sorvin {
namespace {

std::map<std::string, int> entries(const SharedPathMap<int>& table) {
    std::map<std::string, int> all;
    for (const auto& [path, value] : table)
        EXPECT_TRUE(all.emplace(path, value).second) << path << " came twice";
    return all;
}

// A copy read and dropped on another thread leaves the table to change its buckets in place after
// the copy's last reads (the thread sanitizer's build reports a race where it cannot see that order).
TEST(SharedPathTable, ACopyDroppedOnAnotherThreadLeavesTheTableToChange) {
    SharedPathSet table;
    for (int i = 0; i < 100; ++i)
        table.insert(fmt::format("IMG_{:04}.JPG", i));
    auto copy = std::make_unique<const SharedPathSet>(table);
    std::size_t read = 0;
    std::atomic<bool> dropped{false};
    std::thread reader([&] {
        for (const std::string& path : *copy)
            read += path.empty() ? 0 : 1;
        copy.reset();
        dropped.store(true, std::memory_order_relaxed);
    });
    while (!dropped.load(std::memory_order_relaxed))
        std::this_thread::yield();
    for (int i = 0; i < 100; ++i)
        table.erase(fmt::format("IMG_{:04}.JPG", i));
    table.insert("new.jpg");
    reader.join();
    EXPECT_EQ(read, 100u);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_TRUE(table.contains("new.jpg"));
}

// Every way of changing a table leaves a copy taken before as it was, and the table itself shows
// the change; iteration visits each entry once, over all buckets.
TEST(SharedPathTable, ACopyStaysAsItWasWhileTheTableChanges) {
    SharedPathMap<int> table;
    std::map<std::string, int> expected;
    for (int i = 0; i < 1000; ++i) {
        const std::string path = fmt::format("day{}/IMG_{:04}.JPG", i / 100, i);
        table.emplace(path, i);
        expected.emplace(path, i);
    }
    const SharedPathMap<int> copy = table;

    table["day0/IMG_0001.JPG"] = -1;
    table["new.jpg"] = 5;
    table.erase("day0/IMG_0002.JPG");
    auto found = table.find("day0/IMG_0003.JPG");
    ASSERT_NE(found, table.end());
    found->second = -3;
    table.erase(table.find("day0/IMG_0004.JPG"));
    table.insert({"day0/IMG_0005.JPG", 99}); // already there: no change
    EXPECT_EQ(table.erase("absent.jpg"), 0u);

    EXPECT_EQ(entries(copy), expected);
    EXPECT_EQ(copy.size(), 1000u);
    EXPECT_EQ(copy.at("day0/IMG_0001.JPG"), 1);

    expected["day0/IMG_0001.JPG"] = -1;
    expected["new.jpg"] = 5;
    expected.erase("day0/IMG_0002.JPG");
    expected["day0/IMG_0003.JPG"] = -3;
    expected.erase("day0/IMG_0004.JPG");
    EXPECT_EQ(entries(table), expected);
    EXPECT_EQ(table.size(), expected.size());
    EXPECT_FALSE(table.contains("day0/IMG_0002.JPG"));
    EXPECT_TRUE(copy.contains("day0/IMG_0002.JPG"));
    EXPECT_EQ(table.find("absent.jpg"), table.end());
    EXPECT_THROW(table.at("absent.jpg"), std::out_of_range);

    const std::unordered_map<std::string, int> plain = copy;
    EXPECT_EQ(plain.size(), 1000u);
    EXPECT_TRUE(SharedPathMap<int>().empty());
    EXPECT_EQ(SharedPathMap<int>().begin(), SharedPathMap<int>().end());

    SharedPathSet hearts(std::unordered_set<std::string>{"a.jpg", "b.jpg"});
    const SharedPathSet before = hearts;
    hearts.erase("a.jpg");
    hearts.insert("c.jpg");
    EXPECT_EQ(std::set<std::string>(before.begin(), before.end()), (std::set<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(std::set<std::string>(hearts.begin(), hearts.end()), (std::set<std::string>{"b.jpg", "c.jpg"}));
}

} // namespace
} // namespace sorvin
