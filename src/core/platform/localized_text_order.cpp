#include "platform/localized_text_order.hpp"

#include <memory>
#include <stdexcept>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace sorvin {

namespace {

std::unique_ptr<icu::Collator> makeCollator() {
    UErrorCode status = U_ZERO_ERROR;
    // Japanese collation: the interface is Japanese, and for Latin names it equals the root order.
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("ja"), status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (U_FAILURE(status) || !collator) throw std::runtime_error("no collator available");
    collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    collator->setAttribute(UCOL_STRENGTH, UCOL_TERTIARY, status);
    collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
    if (U_FAILURE(status)) throw std::runtime_error("collator attributes refused");
    return collator;
}

// ICU collators must not be shared between threads; each thread gets its own copy.
const icu::Collator& threadCollator() {
    thread_local const std::unique_ptr<icu::Collator> collator = makeCollator();
    return *collator;
}

icu::UnicodeString unicode(std::string_view text) {
    // Ill-formed UTF-8 becomes U+FFFD here; the byte tie-break still tells such texts apart.
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

} // namespace

std::strong_ordering LocalizedTextOrder::compare(std::string_view a, std::string_view b) {
    if (a == b) return std::strong_ordering::equal;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = threadCollator().compare(unicode(a), unicode(b), status);
    if (U_SUCCESS(status) && result != UCOL_EQUAL) {
        return result == UCOL_LESS ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    return a <=> b;
}

LocalizedTextOrder::Key LocalizedTextOrder::key(std::string_view text) {
    const icu::UnicodeString string = unicode(text);
    const icu::Collator& collator = threadCollator();
    Key key;
    key.text = std::string(text);
    // Most keys fit a small buffer, so the collator runs once; a longer one is computed again at
    // its full length.
    uint8_t buffer[256];
    int32_t length = collator.getSortKey(string, buffer, static_cast<int32_t>(sizeof buffer));
    if (length > static_cast<int32_t>(sizeof buffer)) {
        key.collation.resize(static_cast<std::size_t>(length));
        length = collator.getSortKey(string, reinterpret_cast<uint8_t*>(key.collation.data()), length);
        key.collation.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    } else if (length > 0) {
        key.collation.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    }
    return key;
}

} // namespace sorvin
