#include "platform/iptc_character_set.hpp"

#include "platform/unicode_text.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/unistr.h>
#include <utility>

namespace sorvin {

namespace {

constexpr const char* kAscii = "US-ASCII";
constexpr const char* kUtf8 = "UTF-8";
// ICU's ISO 2022 converter for Japanese with every set of ISO-2022-JP-2 and the half-width katakana.
constexpr const char* kIso2022Japanese = "ISO_2022,locale=ja,version=4";

// How sure ICU's detector must be, of 100. It gives a Japanese text of ten characters or fewer 10,
// whichever of the Japanese and Chinese sets it is in, and a longer one 100; a Western text of a
// few words gets 20 to 98. Short Turkish and Polish texts are taken for Latin-1 with up to 50
// (「Şişli」 read as "Þiþli"). Of some 2,000 captions, keywords and names in Shift_JIS, EUC-JP,
// UTF-8 and seven Western and Cyrillic sets, no answer of 60 or more gave a wrong reading once the
// checks below were made.
constexpr int32_t kSureConfidence = 60;

// What an ISO 2022 escape sequence (the bytes after ESC) declares.
enum class Role {
    whole,   // the whole text is in the set (UTF-8)
    ascii,   // ASCII in G0, as without a declaration
    upper,   // an 8-bit set whose upper half holds the letters beyond ASCII (G1)
    shifted, // a set held in G0 by ISO 2022 escape sequences (the Japanese 7-bit sets)
};
struct Designation {
    std::string_view sequence;
    Role role;
    const char* converter;
};
constexpr std::array<Designation, 30> kDesignations{{
    {"%G", Role::whole, kUtf8},
    {"%/G", Role::whole, kUtf8},
    {"%/H", Role::whole, kUtf8},
    {"%/I", Role::whole, kUtf8},
    {"(B", Role::ascii, kAscii},
    {"-A", Role::upper, "ISO-8859-1"},
    {"-B", Role::upper, "ISO-8859-2"},
    {"-C", Role::upper, "ISO-8859-3"},
    {"-D", Role::upper, "ISO-8859-4"},
    {"-L", Role::upper, "ISO-8859-5"},
    {"-G", Role::upper, "ISO-8859-6"},
    {"-F", Role::upper, "ISO-8859-7"},
    {"-H", Role::upper, "ISO-8859-8"},
    {"-M", Role::upper, "ISO-8859-9"},
    {"-V", Role::upper, "ISO-8859-10"},
    {"-T", Role::upper, "ISO-8859-11"},
    {"-Y", Role::upper, "ISO-8859-13"},
    {"-_", Role::upper, "ISO-8859-14"},
    {"-b", Role::upper, "ISO-8859-15"},
    {"$)B", Role::upper, "EUC-JP"},
    {"$)A", Role::upper, "GB2312"},
    {"$)C", Role::upper, "EUC-KR"},
    {"$@", Role::shifted, kIso2022Japanese},
    {"$B", Role::shifted, kIso2022Japanese},
    {"$A", Role::shifted, kIso2022Japanese},
    {"$(C", Role::shifted, kIso2022Japanese},
    {"$(D", Role::shifted, kIso2022Japanese},
    {"(J", Role::shifted, kIso2022Japanese},
    {"(I", Role::shifted, kIso2022Japanese},
    {"$(B", Role::shifted, kIso2022Japanese},
}};

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Some writers pad their texts with NUL bytes.
std::string_view unpadded(std::string_view text) {
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    return text;
}

struct ConverterDeleter {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
struct DetectorDeleter {
    void operator()(UCharsetDetector* detector) const { ucsdet_close(detector); }
};

// Strict reading: a byte sequence the set does not allow, or a code it leaves unassigned, fails.
std::optional<icu::UnicodeString> decoded(const char* converterName, std::string_view bytes) {
    if (bytes.size() > INT32_MAX) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterDeleter> converter(ucnv_open(converterName, &status));
    if (U_FAILURE(status)) return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    icu::UnicodeString text(bytes.data(), static_cast<int32_t>(bytes.size()), converter.get(), status);
    if (U_FAILURE(status)) return std::nullopt;
    return text;
}

// C0 controls other than tab and line breaks, DEL and the C1 controls: no text has them, and XML
// forbids most of them; they are what a text read in the wrong 8-bit set shows.
bool hasControlCharacters(const icu::UnicodeString& text) {
    for (int32_t i = 0; i < text.length(); ++i) {
        const char16_t c = text[i];
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c <= 0x9F)) return true;
    }
    return false;
}

bool isJapaneseScript(UChar32 c) {
    return (c >= 0x3000 && c <= 0x30FF)    // CJK punctuation, hiragana, katakana
           || (c >= 0x3400 && c <= 0x4DBF) // ideographs
           || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF); // full-width forms, half-width katakana
}

// Whether the bytes also read as Japanese text in the set: well-formed, and every character beyond
// ASCII a kana, an ideograph or a full-width form.
bool readsAsJapanese(const char* set, std::string_view bytes) {
    const auto text = decoded(set, bytes);
    if (!text) return false;
    for (int32_t i = 0; i < text->length(); i = text->moveIndex32(i, 1)) {
        const UChar32 c = text->char32At(i);
        if (c >= 0x80 && !isJapaneseScript(c)) return false;
    }
    return true;
}

// The set ICU's detector names for the record's text, when it is sure and the set is one we read.
std::optional<std::string> detectedSet(const std::string& bytes) {
    if (bytes.size() > INT32_MAX) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorDeleter> detector(ucsdet_open(&status));
    ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !match) return std::nullopt;
    const int32_t confidence = ucsdet_getConfidence(match, &status);
    const char* name = ucsdet_getName(match, &status);
    if (U_FAILURE(status) || !name || confidence < kSureConfidence) return std::nullopt;
    const std::string_view set(name);
    if (set == "Shift_JIS" || set == "EUC-JP" || set == "ISO-2022-JP") return std::string(set);
    // ICU takes short Japanese texts for Western ones with high confidence (「風景」 in Shift_JIS
    // for Windows-1252, 98 of 100).
    if ((set == "ISO-8859-1" || set == "windows-1252") && !readsAsJapanese("Shift_JIS", bytes) &&
        !readsAsJapanese("EUC-JP", bytes))
        return std::string(set);
    return std::nullopt;
}

// A set a declaration names: the converter, and what puts an ISO 2022 converter into the declared
// state before each text.
struct DeclaredSet {
    std::string converter;
    std::string shifts;
};

// The set the record's declaration names: one or more escape sequences, each ESC, bytes 0x20-0x2F
// and a final byte 0x30-0x7E. Nothing for a declaration we cannot follow: it counts as none.
std::optional<DeclaredSet> declaredSet(std::string_view declaration) {
    const char* upper = nullptr;
    std::string shifts;
    bool declared = false;
    for (std::size_t i = 0; i < declaration.size(); ++i) {
        if (declaration[i] != '\x1b') continue;
        std::size_t end = i + 1;
        while (end < declaration.size() && declaration[end] >= 0x20 && declaration[end] <= 0x2F)
            ++end;
        if (end >= declaration.size() || declaration[end] < 0x30 || declaration[end] > 0x7E)
            return std::nullopt;
        const std::string_view sequence = declaration.substr(i + 1, end - i);
        const auto found = std::find_if(kDesignations.begin(), kDesignations.end(),
                                        [&](const Designation& d) { return d.sequence == sequence; });
        if (found == kDesignations.end()) return std::nullopt;
        declared = true;
        if (found->role == Role::whole) return DeclaredSet{found->converter, {}};
        if (found->role == Role::upper) upper = found->converter;
        // ASCII back in G0 matters only after a set that took its place.
        if (found->role == Role::shifted || (found->role == Role::ascii && !shifts.empty()))
            shifts.append(declaration.substr(i, end + 1 - i));
        i = end;
    }
    if (!declared || (upper && !shifts.empty())) return std::nullopt;
    if (!shifts.empty()) return DeclaredSet{kIso2022Japanese, shifts};
    return DeclaredSet{upper ? upper : kAscii, {}};
}

} // namespace

IptcCharacterSet IptcCharacterSet::of(std::string_view declaration, std::span<const std::string> texts) {
    if (auto declared = declaredSet(declaration))
        return IptcCharacterSet(declared->converter, declared->shifts);

    std::string evidence;
    for (const std::string& text : texts) {
        if (isAscii(text)) continue;
        if (!evidence.empty()) evidence.push_back('\n');
        evidence.append(unpadded(text));
    }
    if (evidence.empty()) return IptcCharacterSet(kAscii);
    if (decoded(kUtf8, evidence)) {
        // One or two EUC-JP ideographs are often well-formed UTF-8 too (「猫」 reads as "ǭ"); text
        // without a Latin letter that reads as Japanese in EUC-JP cannot be told.
        const bool hasLetters = std::any_of(evidence.begin(), evidence.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        });
        return IptcCharacterSet(hasLetters || !readsAsJapanese("EUC-JP", evidence) ? kUtf8 : kAscii);
    }
    if (auto detected = detectedSet(evidence)) return IptcCharacterSet(std::move(*detected));
    return IptcCharacterSet(kAscii);
}

std::optional<std::string> IptcCharacterSet::utf8(std::string_view text) const {
    text = unpadded(text);
    if (text.empty()) return std::nullopt;
    const auto read = decoded(converter_.c_str(), shifts_ + std::string(text));
    // A text of shift sequences alone says nothing.
    if (!read || read->isEmpty() || hasControlCharacters(*read)) return std::nullopt;
    std::string bytes;
    read->toUTF8String(bytes);
    return UnicodeText::nfc(bytes);
}

} // namespace sorvin
