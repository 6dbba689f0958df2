#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvin::UnicodeText {

// The text in Unicode normalisation form C, so two spellings of one name become one key; nothing
// when the bytes are not well-formed UTF-8.
std::optional<std::string> nfc(std::string_view utf8);

// The Unicode default lower-case mapping (no locale's special rules); ill-formed input is
// returned unchanged.
std::string lowercased(std::string_view utf8);
// The Unicode default upper-case mapping, likewise.
std::string uppercased(std::string_view utf8);

} // namespace sorvin::UnicodeText
