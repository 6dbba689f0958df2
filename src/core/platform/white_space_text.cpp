#include "platform/white_space_text.hpp"

#include <cstdint>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace sorvin::WhiteSpaceText {

bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWhiteSpaceOrLineBreak(char32_t c) {
    return c == 0x09 || isLineBreak(c) ||
           (c <= 0x10FFFF && u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR);
}

std::string trimmed(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::int32_t begin = 0;
    std::int32_t end = static_cast<std::int32_t>(text.size());
    while (begin < end) {
        std::int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, end, c);
        if (c < 0 || !isWhiteSpaceOrLineBreak(static_cast<char32_t>(c))) break;
        begin = next;
    }
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !isWhiteSpaceOrLineBreak(static_cast<char32_t>(c))) break;
        end = previous;
    }
    return std::string(text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

} // namespace sorvin::WhiteSpaceText
