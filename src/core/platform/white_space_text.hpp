#pragma once

#include <string>
#include <string_view>

// White space and line breaks as people mean them in UTF-8 text: the tab, every line break (LF,
// VT, FF, CR, NEL, LS, PS) and every space separator (U+0020, U+00A0, U+3000 ...).
namespace sorvin::WhiteSpaceText {

bool isWhiteSpaceOrLineBreak(char32_t c);
bool isLineBreak(char32_t c);

// The text without white space and line breaks at either end, cut by code points (a space that
// carries a combining mark still counts as white space). Ill-formed bytes are kept as they are.
std::string trimmed(std::string_view text);

} // namespace sorvin::WhiteSpaceText
