#include "persistence/parameter_preset_name.hpp"

#include "platform/grapheme_text.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace sorvin::ParameterPresetName {

namespace {

bool isLineBreak(UChar32 c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isWhiteSpaceOrLineBreak(UChar32 c) {
    return c == 0x09 || isLineBreak(c) || (c >= 0 && u_charType(c) == U_SPACE_SEPARATOR);
}

bool holdsLineBreakOrTab(std::string_view character) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(character.data());
    const auto length = static_cast<std::int32_t>(character.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c == 0x09 || isLineBreak(c)) return true;
    }
    return false;
}

} // namespace

std::string normalized(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (const auto character : GraphemeText::split(raw)) {
        if (holdsLineBreakOrTab(character))
            text += ' ';
        else
            text += character;
    }

    // Trimmed by code points, so a space that carries a combining mark still counts as white space.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::int32_t begin = 0;
    std::int32_t end = static_cast<std::int32_t>(text.size());
    while (begin < end) {
        std::int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, end, c);
        if (!isWhiteSpaceOrLineBreak(c)) break;
        begin = next;
    }
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (!isWhiteSpaceOrLineBreak(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::optional<std::string> validated(std::string_view raw) {
    std::string name = normalized(raw);
    const std::size_t length = GraphemeText::count(name);
    if (length < 1 || length > maxLength) return std::nullopt;
    return name;
}

} // namespace sorvin::ParameterPresetName
