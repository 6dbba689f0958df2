#include "platform/unicode_text.hpp"

#include <algorithm>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace sorvin::UnicodeText {

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Strict decoding: ill-formed sequences (overlong forms, surrogates, stray continuation bytes)
// are errors, not replacement characters.
std::optional<icu::UnicodeString> decode(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
    icu::UnicodeString text;
    status = U_ZERO_ERROR;
    UChar* buffer = text.getBuffer(length);
    u_strFromUTF8(buffer, length, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    text.releaseBuffer(U_SUCCESS(status) ? length : 0);
    if (U_FAILURE(status)) return std::nullopt;
    return text;
}

} // namespace

std::optional<std::string> nfc(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    auto text = decode(utf8);
    if (!text) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::nullopt;
    icu::UnicodeString normal = normalizer->normalize(*text, status);
    if (U_FAILURE(status)) return std::nullopt;
    std::string out;
    normal.toUTF8String(out);
    return out;
}

namespace {

// The Unicode default case mapping in one direction; ASCII text takes the short way.
template <char First, char Last, int Shift, class Map>
std::string caseMapped(std::string_view utf8, Map map) {
    if (isAscii(utf8)) {
        std::string mapped(utf8);
        for (char& c : mapped)
            if (c >= First && c <= Last) c = static_cast<char>(c + Shift);
        return mapped;
    }
    auto text = decode(utf8);
    if (!text) return std::string(utf8);
    map(*text);
    std::string out;
    text->toUTF8String(out);
    return out;
}

} // namespace

std::string lowercased(std::string_view utf8) {
    return caseMapped<'A', 'Z', 'a' - 'A'>(utf8,
                                           [](icu::UnicodeString& s) { s.toLower(icu::Locale::getRoot()); });
}

std::string uppercased(std::string_view utf8) {
    return caseMapped<'a', 'z', 'A' - 'a'>(utf8,
                                           [](icu::UnicodeString& s) { s.toUpper(icu::Locale::getRoot()); });
}

} // namespace sorvin::UnicodeText
