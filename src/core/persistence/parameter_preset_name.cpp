#include "persistence/parameter_preset_name.hpp"

#include "platform/grapheme_text.hpp"
#include "platform/white_space_text.hpp"

#include <unicode/utf8.h>

namespace sorvin::ParameterPresetName {

namespace {

bool holdsLineBreakOrTab(std::string_view character) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(character.data());
    const auto length = static_cast<std::int32_t>(character.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c == 0x09 || (c >= 0 && WhiteSpaceText::isLineBreak(static_cast<char32_t>(c)))) return true;
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

    return WhiteSpaceText::trimmed(text);
}

std::optional<std::string> validated(std::string_view raw) {
    std::string name = normalized(raw);
    const std::size_t length = GraphemeText::count(name);
    if (length < 1 || length > maxLength) return std::nullopt;
    return name;
}

} // namespace sorvin::ParameterPresetName
