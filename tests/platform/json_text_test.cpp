#include "platform/json_text.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace sorvin {
namespace {

TEST(JsonText, EscapesQuotesBackslashesAndControlsButNotUnicode) {
    EXPECT_EQ(JsonText::quoted("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonText::quoted("\b\f\n\r\t"), R"("\b\f\n\r\t")");
    EXPECT_EQ(JsonText::quoted(std::string("\x01\x1f", 2)), R"("\u0001\u001f")");
    EXPECT_EQ(JsonText::quoted("写真/旅行.jpg"), "\"写真/旅行.jpg\"");
    EXPECT_EQ(JsonText::quoted("a/b", JsonText::Slash::Escaped), R"("a\/b")");
}

TEST(JsonText, EveryQuotedTextReadsBackUnchanged) {
    std::string all;
    for (int c = 1; c < 128; ++c)
        all.push_back(static_cast<char>(c));
    all += "日本語";
    for (auto slash : {JsonText::Slash::Unescaped, JsonText::Slash::Escaped}) {
        EXPECT_EQ(nlohmann::json::parse(JsonText::quoted(all, slash)).get<std::string>(), all);
    }
}

} // namespace
} // namespace sorvin
