#include "platform/grapheme_text.hpp"

#include <memory>
#include <unicode/ubrk.h>
#include <unicode/utext.h>

namespace sorvin::GraphemeText {

namespace {

struct BreakIteratorClose {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct TextClose {
    void operator()(UText* text) const { utext_close(text); }
};

// Opening a break iterator loads ICU's rules each time; each thread keeps one instead.
UBreakIterator* characterBreaks() {
    thread_local const std::unique_ptr<UBreakIterator, BreakIteratorClose> breaks = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        if (U_FAILURE(status) && opened) {
            ubrk_close(opened);
            opened = nullptr;
        }
        return std::unique_ptr<UBreakIterator, BreakIteratorClose>(opened);
    }();
    return breaks.get();
}

// Calls visit(begin, end) with the byte range of each character until it returns false.
template <class Visit>
void forEachCharacter(std::string_view text, Visit visit) {
    if (text.empty()) return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, TextClose> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    UBreakIterator* breaks = characterBreaks();
    if (!breaks) status = U_MISSING_RESOURCE_ERROR;
    if (U_SUCCESS(status)) ubrk_setUText(breaks, utext.get(), &status);
    if (U_FAILURE(status)) { // no break data: fall back to one character per byte rather than fail
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!visit(i, i + 1)) return;
        return;
    }
    // With UTF-8 text the iterator's offsets are byte offsets.
    std::int32_t begin = ubrk_first(breaks);
    for (std::int32_t end = ubrk_next(breaks); end != UBRK_DONE; begin = end, end = ubrk_next(breaks))
        if (!visit(static_cast<std::size_t>(begin), static_cast<std::size_t>(end))) return;
}

} // namespace

std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> characters;
    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        characters.push_back(text.substr(begin, end - begin));
        return true;
    });
    return characters;
}

std::size_t count(std::string_view text) {
    std::size_t n = 0;
    forEachCharacter(text, [&](std::size_t, std::size_t) {
        ++n;
        return true;
    });
    return n;
}

std::string prefix(std::string_view text, std::size_t n) {
    std::size_t taken = 0;
    std::size_t length = 0;
    forEachCharacter(text, [&](std::size_t, std::size_t end) {
        if (taken == n) return false;
        ++taken;
        length = end;
        return true;
    });
    return std::string(text.substr(0, length));
}

} // namespace sorvin::GraphemeText
