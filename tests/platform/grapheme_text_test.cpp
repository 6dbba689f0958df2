#include "platform/grapheme_text.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(GraphemeText, CountsUserPerceivedCharacters) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"", 0},
        {"abc", 3},
        {"写真", 2},
        {"e\xCC\x81", 1}, // e + combining acute
        {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", 1}, // family, joined
        {"\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5", 1}, // flag: two regional indicators
        {"\r\n", 1},
        {"a\xFF"
         "b",
         3}, // an invalid byte stands alone
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(GraphemeText::count(text), expected) << text;
}

TEST(GraphemeText, SplitsAndTakesPrefixesOnCharacterBoundaries) {
    const std::string text = "ae\xCC\x81z";
    EXPECT_EQ(GraphemeText::split(text), (std::vector<std::string_view>{"a", "e\xCC\x81", "z"}));
    EXPECT_EQ(GraphemeText::prefix(text, 2), "ae\xCC\x81");
    EXPECT_EQ(GraphemeText::prefix(text, 0), "");
    EXPECT_EQ(GraphemeText::prefix(text, 10), text);
}

} // namespace
} // namespace sorvin
