#include "platform/iptc_character_set.hpp"

#include "platform/unicode_text.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <string_view>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/unistr.h>
#include <utility>

namespace sorvin {

namespace {

constexpr const char* kAscii = "US-ASCII";
constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kShiftJis = "Shift_JIS";
constexpr const char* kEucJapanese = "EUC-JP";
// ICU's ISO 2022 converter for Japanese with every set of ISO-2022-JP-2 and the half-width katakana.
constexpr const char* kIso2022Japanese = "ISO_2022,locale=ja,version=4";

// How sure ICU's detector must be, of 100. It gives a Japanese text of ten characters or fewer 10 to
// 71, whichever of the Japanese and Chinese sets it is in, and a longer one 100; a Western text of a
// few words gets 20 to 98. Short Turkish and Polish texts are mostly taken for Latin-1 with up to
// 50 (「Şişli」 read as "Þiþli"), but of some 3,500 Polish, Czech and Turkish names 21 still were
// with 60 or more (「estoński」 as "estoñski"): their letters are Latin-1 letters too.
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

bool isKana(UChar32 c) {
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA);
}

// Private-use characters: what Shift_JIS's and EUC-JP's user-defined rows read as.
bool isPrivateUse(UChar32 c) {
    return c >= 0xE000 && c <= 0xF8FF;
}

// The letters of Western, Cyrillic, Greek, Thai and Chinese sets, and EUC-JP's own bytes, read in
// Shift_JIS as half-width katakana mixed with rare kanji.
bool isHalfWidthKatakana(UChar32 c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}

bool isOneOf(UChar32 c, std::u16string_view characters) {
    return c <= 0xFFFF && characters.find(static_cast<char16_t>(c)) != std::u16string_view::npos;
}

// Small kana that Japanese writes only after a full-size kana (「ファ」); っ and ッ may also follow a
// kanji (「行った」).
bool isSmallKanaAfterKana(UChar32 c) {
    return isOneOf(c, u"ぁぃぅぇぉゃゅょゎァィゥェォャュョヮ");
}

// Whether a small ya, yu or yo may follow the character: a kana of the i column in its own script
// (「きゃ」「ジュ」), or in katakana also テ, デ, フ and ヴ (「デュ」「フュ」).
bool takesSmallY(UChar32 previous, UChar32 c) {
    if (isOneOf(c, u"ゃゅょ")) return isOneOf(previous, u"きしちにひみりぎじぢびぴ");
    if (isOneOf(c, u"ャュョ")) return isOneOf(previous, u"キシチニヒミリギジヂビピテデフヴ");
    return true;
}

// Half-width small kana, long-vowel mark and sound marks, written only after a half-width kana
// (「ﾁｪｰﾝ」「ﾃﾞｼﾞﾀﾙ」). EUC-JP's kana read in Shift_JIS as a half-width comma or middle dot
// followed by anything.
bool isHalfWidthMarkAfterKana(UChar32 c) {
    return (c >= 0xFF67 && c <= 0xFF70) || c == 0xFF9E || c == 0xFF9F;
}
// Half-width katakana other than the punctuation (｡｢｣､･).
bool isHalfWidthKanaOrMark(UChar32 c) {
    return c >= 0xFF66 && c <= 0xFF9F;
}

// Whether the character may stand after the one before it in Japanese text.
bool followsInJapanese(UChar32 previous, UChar32 c) {
    if (isSmallKanaAfterKana(c))
        return isKana(previous) && !isSmallKanaAfterKana(previous) && takesSmallY(previous, c);
    if (isHalfWidthMarkAfterKana(c)) return isHalfWidthKanaOrMark(previous);
    return true;
}

// A Shift_JIS lead byte, and whether it opens the rows of kana, punctuation and the common kanji.
bool isShiftJisLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool opensCommonShiftJisRow(unsigned char byte) {
    return byte >= 0x81 && byte <= 0x9F;
}

bool isAsciiLetter(unsigned char byte) {
    return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
}

// A Windows-1252 byte beyond ASCII that Western words are made of: a letter, or an apostrophe,
// quotation mark, dash or the Catalan middle dot.
bool isWesternWordByte(unsigned char byte) {
    if (byte >= 0xC0) return byte != 0xD7 && byte != 0xF7;
    constexpr std::string_view kOthers = "\x8a\x8c\x8e\x91\x92\x93\x94\x96\x97\x9a\x9c\x9e\x9f\xb7";
    return kOthers.find(static_cast<char>(byte)) != std::string_view::npos;
}

// A sign that Western texts hold on its own: €, £, ©, «, ®, ° and ».
bool isWesternSign(unsigned char byte) {
    constexpr std::string_view kSigns = "\x80\xa3\xa9\xab\xae\xb0\xbb";
    return kSigns.find(static_cast<char>(byte)) != std::string_view::npos;
}

// Whether the bytes read as Western text in Windows-1252: every run of bytes beyond ASCII is made
// of letters (or an apostrophe or dash) and touches an ASCII letter (「François」, 「Smith’s」,
// 「Þýskaland」), or is one sign (「© 2020」). Such names also read in Shift_JIS or EUC-JP, as kanji
// inside a Latin word; Chinese, Cyrillic, Greek and Hebrew texts, which ICU's detector may take
// for Latin-1, do not read so.
bool readsAsWesternWords(std::string_view bytes) {
    bool any = false;
    for (std::size_t start = 0; start < bytes.size();) {
        if (static_cast<unsigned char>(bytes[start]) < 0x80) {
            ++start;
            continue;
        }
        std::size_t end = start;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80)
            ++end;
        const bool sign = end == start + 1 && isWesternSign(static_cast<unsigned char>(bytes[start]));
        const bool word =
            std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                        bytes.begin() + static_cast<std::ptrdiff_t>(end),
                        [](char c) { return isWesternWordByte(static_cast<unsigned char>(c)); }) &&
            ((start > 0 && isAsciiLetter(static_cast<unsigned char>(bytes[start - 1]))) ||
             (end < bytes.size() && isAsciiLetter(static_cast<unsigned char>(bytes[end]))));
        if (!sign && !word) return false;
        any = true;
        start = end;
    }
    return any;
}

// How the bytes read in one of the two 8-bit Japanese sets.
enum class JapaneseReading {
    none,      // not well-formed, or not what a writer of Japanese makes
    plausible, // text a writer of Japanese makes, but without a two-byte character
    sure,      // Japanese text with two-byte characters
};

// The strict reading is checked the way Japanese text is written: no control or private-use
// characters, small kana and marks only after a kana, and no half-width katakana beside two-byte
// characters. In Shift_JIS a text of ASCII and half-width katakana alone is an old writer's
// (「ｶﾒﾗ」) and stays plausible; text with two-byte characters needs one from the rows of kana,
// punctuation and common kanji. In EUC-JP, whose two-byte characters Chinese and Korean texts
// share, it needs a kana.
JapaneseReading japaneseReading(const char* set, std::string_view bytes) {
    const auto text = decoded(set, bytes);
    if (!text || hasControlCharacters(*text)) return JapaneseReading::none;
    bool halfWidth = false;
    bool kana = false;
    UChar32 previous = 0;
    for (int32_t i = 0; i < text->length(); i = text->moveIndex32(i, 1)) {
        const UChar32 c = text->char32At(i);
        if (isPrivateUse(c)) return JapaneseReading::none;
        if (!followsInJapanese(previous, c)) return JapaneseReading::none;
        halfWidth = halfWidth || isHalfWidthKatakana(c);
        kana = kana || isKana(c);
        previous = c;
    }
    const bool shiftJis = std::string_view(set) == kShiftJis;
    bool twoByte = !shiftJis;
    bool common = false;
    for (std::size_t i = 0; shiftJis && i < bytes.size(); ++i) {
        if (!isShiftJisLead(static_cast<unsigned char>(bytes[i]))) continue;
        twoByte = true;
        common = common || opensCommonShiftJisRow(static_cast<unsigned char>(bytes[i]));
        ++i;
    }
    if (!twoByte) return JapaneseReading::plausible;
    if (halfWidth || !(shiftJis ? common : kana)) return JapaneseReading::none;
    return JapaneseReading::sure;
}

// The Japanese set of bytes that are not UTF-8, when only one of Shift_JIS and EUC-JP reads them
// as a writer of Japanese would have written them and that reading has two-byte characters.
// Nearly every EUC-JP text also reads in Shift_JIS, as half-width katakana and rare kanji, which
// no writer makes; an even run of half-width katakana reads as EUC-JP kanji, and the two stay
// apart.
std::optional<std::string> japaneseSet(std::string_view bytes) {
    const JapaneseReading shiftJis = japaneseReading(kShiftJis, bytes);
    const JapaneseReading eucJapanese = japaneseReading(kEucJapanese, bytes);
    if (readsAsWesternWords(bytes)) return std::nullopt;
    if (shiftJis == JapaneseReading::sure && eucJapanese == JapaneseReading::none) return kShiftJis;
    if (eucJapanese == JapaneseReading::sure && shiftJis == JapaneseReading::none) return kEucJapanese;
    return std::nullopt;
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
    if (set == kShiftJis || set == kEucJapanese || set == "ISO-2022-JP") return std::string(set);
    // ICU takes short Japanese texts for Western ones with high confidence (「風景」 in Shift_JIS
    // for Windows-1252, 98 of 100), and Chinese ones too (「世界文」 in Big5 for Latin-1).
    if ((set == "ISO-8859-1" || set == "windows-1252") && readsAsWesternWords(bytes) &&
        !readsAsJapanese(kShiftJis, bytes) && !readsAsJapanese(kEucJapanese, bytes))
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
            return isAsciiLetter(static_cast<unsigned char>(c));
        });
        return IptcCharacterSet(hasLetters || !readsAsJapanese(kEucJapanese, evidence) ? kUtf8 : kAscii);
    }
    if (auto japanese = japaneseSet(evidence)) return IptcCharacterSet(std::move(*japanese));
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
