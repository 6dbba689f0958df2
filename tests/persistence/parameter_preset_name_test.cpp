#include "persistence/parameter_preset_name.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

std::string repeated(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(ParameterPresetName, NormalisingReplacesBreaksAndTabsAndTrimsTheEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"  夕景  ", "夕景"},
        {"a\nb", "a b"},
        {"a\r\nb", "a b"}, // one character, one space
        {"a\tb", "a b"},
        {"a  b", "a  b"},
        {"a\xE2\x80\xA8"
         "b",
         "a b"}, // line separator
        {"\xE3\x80\x80"
         "名前\xC2\xA0",
         "名前"}, // ideographic and no-break spaces
        {"\n\tname\t\n", "name"},
        {"\xE2\x80\x8B"
         "x",
         "\xE2\x80\x8B"
         "x"}, // zero-width space is not white space
    };
    for (const auto& [raw, expected] : cases)
        EXPECT_EQ(ParameterPresetName::normalized(raw), expected) << raw;
}

TEST(ParameterPresetName, ValidNamesHaveOneToThirtyCharacters) {
    EXPECT_EQ(ParameterPresetName::validated(repeated("あ", 30)), repeated("あ", 30));
    EXPECT_EQ(ParameterPresetName::validated(repeated("a", 31)), std::nullopt);
    EXPECT_EQ(ParameterPresetName::validated(fmt::format(" {}\n", repeated("a", 30))), repeated("a", 30));
    // Thirty characters made of many code points each.
    EXPECT_TRUE(ParameterPresetName::validated(repeated("e\xCC\x81", 30)));
    EXPECT_EQ(ParameterPresetName::validated("   "), std::nullopt);
    EXPECT_EQ(ParameterPresetName::validated("\n\t"), std::nullopt);
    EXPECT_EQ(ParameterPresetName::validated(""), std::nullopt);
}

} // namespace
} // namespace sorvin
