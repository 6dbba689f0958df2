#pragma once

#include <string>
#include <string_view>

namespace sorvin::JsonText {

enum class Slash { Unescaped, Escaped };

// A JSON string literal in the style of the files we write byte for byte: `"` and `\` escaped,
// \b \f \n \r \t for those controls, other controls below U+0020 as \u00XX (lower-case hex), the
// slash as chosen, and every other character as its UTF-8 bytes.
std::string quoted(std::string_view text, Slash slash = Slash::Unescaped);

// Appends the literal to out, for writers that build one text piece by piece.
void appendQuoted(std::string& out, std::string_view text, Slash slash = Slash::Unescaped);

// Deepest nesting of objects and arrays in a JSON text, strings skipped. Readers check it before
// parsing, so that hostile text cannot make the parser build millions of nested values.
int nestingDepth(std::string_view text);

// Note for writers of compact JSON with sorted keys and unescaped slashes: nlohmann::json's dump()
// already gives that (its objects are ordered by key bytes, and it never escapes "/").

} // namespace sorvin::JsonText
