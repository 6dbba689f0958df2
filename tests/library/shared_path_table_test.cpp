#include "library/shared_path_table.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace sorvin {
namespace {

std::map<std::string, int> entries(const SharedPathMap<int>& table) {
    std::map<std::string, int> all;
    for (const auto& [path, value] : table)
        EXPECT_TRUE(all.emplace(path, value).second) << path << " came twice";
    return all;
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
