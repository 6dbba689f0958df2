#include "platform/unicode_normalization.hpp"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace sorvin::UnicodeNormalization {

std::string nfc(std::string_view utf8) {
    // ASCII is always in NFC; most names are.
    bool ascii = true;
    for (char c : utf8)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);

    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(utf8);
    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    // Invalid bytes become U+FFFD on the way in: such text is left as it is.
    std::string roundTrip;
    text.toUTF8String(roundTrip);
    if (roundTrip != utf8) return std::string(utf8);
    if (normalizer->isNormalized(text, status) && U_SUCCESS(status)) return roundTrip;
    status = U_ZERO_ERROR;
    const icu::UnicodeString normalized = normalizer->normalize(text, status);
    if (U_FAILURE(status)) return std::string(utf8);
    std::string out;
    normalized.toUTF8String(out);
    return out;
}

} // namespace sorvin::UnicodeNormalization
