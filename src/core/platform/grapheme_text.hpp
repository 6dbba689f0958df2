#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// User-perceived characters (extended grapheme clusters) of UTF-8 text, as ICU breaks them.
// Invalid bytes count as characters of their own. Safe to use from any thread.
namespace sorvin::GraphemeText {

// The characters in order, as views into the text.
std::vector<std::string_view> split(std::string_view text);
std::size_t count(std::string_view text);
// The first n characters (the whole text when it has fewer).
std::string prefix(std::string_view text, std::size_t n);

} // namespace sorvin::GraphemeText
