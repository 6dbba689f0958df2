#include "platform/iptc_character_set.hpp"

#include "platform/unicode_text.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/ulocdata.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <unicode/uset.h>
#include <utility>

namespace sorvin {

namespace {

constexpr const char* kAscii = "US-ASCII";
constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kShiftJis = "Shift_JIS";
constexpr const char* kEucJapanese = "EUC-JP";
constexpr const char* kWindows1252 = "windows-1252";
// ICU's ISO 2022 converter for Japanese with every set of ISO-2022-JP-2 and the half-width katakana.
constexpr const char* kIso2022Japanese = "ISO_2022,locale=ja,version=4";

// How sure ICU's detector must be, of 100, that a text is in Latin-1. A Western text of a few
// words gets 20 to 98, a caption with its by-line and city often less than the caption alone.
// Czech, Polish and Turkish texts are taken for Latin-1 too, since their letters are partly
// Latin-1's: of 36,000 Polish and Czech captions in ISO-8859-2 (made by bench/iptc_reading_bench),
// 18 were read wrongly at 60 (「září」 as 「záøí」) and 162 at 40, where 40 would carry two to three
// times as many Western texts.
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
struct SetDeleter {
    void operator()(USet* set) const { uset_close(set); }
};
struct LocaleDataDeleter {
    void operator()(ULocaleData* data) const { ulocdata_close(data); }
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

bool isOneOf(UChar32 c, std::u16string_view characters) {
    return c <= 0xFFFF && characters.find(static_cast<char16_t>(c)) != std::u16string_view::npos;
}

// A Shift_JIS lead byte, and whether it opens the rows of kana, punctuation and the common kanji.
bool isShiftJisLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool opensCommonShiftJisRow(unsigned char byte) {
    return byte >= 0x81 && byte <= 0x9F;
}

std::u32string codePoints(const icu::UnicodeString& text) {
    std::u32string points;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        points.push_back(text.char32At(i));
    return points;
}

bool isAsciiLetter(UChar32 c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// Private-use characters: what Shift_JIS's and EUC-JP's user-defined rows read as.
bool isPrivateUse(UChar32 c) {
    return c >= 0xE000 && c <= 0xF8FF;
}

// The characters a language writes every day: ICU's exemplar characters of the locale.
std::unique_ptr<USet, SetDeleter> everydayCharacters(const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<ULocaleData, LocaleDataDeleter> data(ulocdata_open(locale, &status));
    return std::unique_ptr<USet, SetDeleter>(
        ulocdata_getExemplarSet(data.get(), nullptr, 0, ULOCDATA_ES_STANDARD, &status));
}

// A kanji of everyday Japanese (the jōyō kanji); the others are rare.
bool isCommonKanji(UChar32 c) {
    static const std::unique_ptr<USet, SetDeleter> common = everydayCharacters("ja");
    return common && uset_contains(common.get(), c);
}

bool isHiragana(UChar32 c) {
    return (c >= 0x3041 && c <= 0x3096) || c == u'ゝ' || c == u'ゞ';
}
bool isKatakana(UChar32 c) {
    return (c >= 0x30A1 && c <= 0x30FA) || c == u'ー' || c == u'ヽ' || c == u'ヾ';
}
bool isKana(UChar32 c) {
    return isHiragana(c) || isKatakana(c);
}
enum class KanaScript { none, hiragana, katakana };
KanaScript kanaScript(UChar32 c) {
    return isHiragana(c) ? KanaScript::hiragana : isKatakana(c) ? KanaScript::katakana : KanaScript::none;
}
bool isIdeograph(UChar32 c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || c == u'々' || c == u'〆';
}

// The letters of Western, Cyrillic, Greek, Thai and Chinese sets, and EUC-JP's own bytes, read in
// Shift_JIS as half-width katakana mixed with rare kanji.
bool isHalfWidthKatakana(UChar32 c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}

// What Japanese text is written with: kana, ideographs, the CJK punctuation, full-width and
// half-width forms, and the signs Japanese writers use. Greek, Cyrillic, box drawing and the
// private-use rows are what Chinese, Korean and Thai bytes read as.
bool isJapaneseCharacter(UChar32 c) {
    return c < 0x80 || (c >= 0x3000 && c <= 0x30FF && c != u'〃') || isIdeograph(c) ||
           (c >= 0xFF01 && c <= 0xFF9F) || isOneOf(c, u"※○●◎□■△▲▽▼◇◆★☆♪→←↑↓°×÷±§′″℃…―‐‘’“”−￥");
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

// Whether a small vowel may follow the character: a kana with a consonant, or ウ (「ウィ」「ティ」
// 「シェ」); the vowels あ, い, え and お take none.
bool takesSmallVowel(UChar32 previous, UChar32 c) {
    return !isOneOf(c, u"ぁぃぅぇぉァィゥェォ") || !isOneOf(previous, u"あいえおアイエオ");
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
        return isKana(previous) && !isSmallKanaAfterKana(previous) && takesSmallY(previous, c) &&
               takesSmallVowel(previous, c);
    if (isHalfWidthMarkAfterKana(c)) return isHalfWidthKanaOrMark(previous);
    // The iteration marks repeat the character before them: a hiragana, a katakana, a kanji.
    if (c == u'ゝ' || c == u'ゞ') return kanaScript(previous) == KanaScript::hiragana;
    if (c == u'ヽ' || c == u'ヾ') return kanaScript(previous) == KanaScript::katakana;
    if (c == u'々') return isIdeograph(previous);
    return true;
}

// Whether the full-width brackets of the text close what they open, in order (「（写真）」).
bool bracketsPair(const std::u32string& text) {
    constexpr std::u16string_view kOpening = u"（「『【〈《［｛〔";
    constexpr std::u16string_view kClosing = u"）」』】〉》］｝〕";
    std::u16string open;
    for (const UChar32 c : text) {
        if (isOneOf(c, kOpening)) open.push_back(kClosing[kOpening.find(static_cast<char16_t>(c))]);
        if (!isOneOf(c, kClosing)) continue;
        if (open.empty() || open.back() != c) return false;
        open.pop_back();
    }
    return open.empty();
}

// Whether the kana at `at`, alone between characters of other kinds, stands where Japanese puts a
// single kana: a hiragana after a word (a particle, an ending: 「山の」 「カメラと」 「iPhoneで」
// 「（写真）を」) or as お or ご before a kanji (「お茶」), a katakana as the counter or joint of a name
// (「一ヶ月」「霞ヶ関」「三ツ星」). Chinese and Thai bytes read in EUC-JP as such kana scattered among
// kanji, at the start of a text or after a space, or as お after a kanji (「中國」 in Big5 as
// 「い郁」, 「日本」 as 「らセ」, Thai as 「友お匍」).
bool standsAloneInJapanese(const std::u32string& text, std::size_t at) {
    const UChar32 c = text[at];
    const UChar32 previous = at > 0 ? text[at - 1] : U' ';
    const UChar32 next = at + 1 < text.size() ? text[at + 1] : U' ';
    if (isKatakana(c)) return isOneOf(c, u"ヶヵケカノツ") && (isIdeograph(previous) || u_isdigit(previous));
    const bool afterWord = !u_isspace(previous) && !isOneOf(previous, u"、。〃・") &&
                           u_charType(previous) != U_START_PUNCTUATION &&
                           kanaScript(previous) == KanaScript::none;
    if (isOneOf(c, u"おご")) return !isIdeograph(previous) && isIdeograph(next);
    return afterWord || (isKatakana(previous) && at > 1 && isKatakana(text[at - 2]));
}

// The kinds of Thai characters, for the order Thai writes them in.
enum class ThaiKind { other, consonant, leadingVowel, markAbove, tone, followingVowel, sign };
ThaiKind thaiKind(UChar32 c) {
    if (c >= 0xE01 && c <= 0xE2E) return ThaiKind::consonant;
    if (c >= 0xE40 && c <= 0xE44) return ThaiKind::leadingVowel;
    if (c == 0xE31 || (c >= 0xE34 && c <= 0xE3A)) return ThaiKind::markAbove;
    if (c >= 0xE47 && c <= 0xE4E) return ThaiKind::tone;
    if (c == 0xE30 || c == 0xE32 || c == 0xE33 || c == 0xE45) return ThaiKind::followingVowel;
    if (c >= 0xE01 && c <= 0xE5B) return ThaiKind::sign;
    return ThaiKind::other;
}

// How bytes read as Thai in TIS-620: whether each character stands in the order Thai is written
// (a vowel above or below after its consonant, and ั before a final one; a tone mark after a
// consonant or such a vowel; a vowel written before its consonant followed by one; a vowel written
// after a consonant not at the start of a word; Thai digits and signs apart from letters, ๆ and ฯ
// after them), and how many letters and how many vowels and tone marks it has. Thai text reads in
// EUC-JP as kanji with a kana here and there (「มีนาคม」 as 「奏航ち」).
struct ThaiReading {
    bool ordered = false;
    std::size_t letters = 0;
    std::size_t vowelsAndMarks = 0;
};
ThaiReading thaiReading(std::string_view bytes) {
    const auto read = decoded("TIS-620", bytes);
    if (!read) return {};
    const std::u32string text = codePoints(*read);
    ThaiReading thai{true, 0, 0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const ThaiKind kind = thaiKind(text[i]);
        const ThaiKind previous = i > 0 ? thaiKind(text[i - 1]) : ThaiKind::other;
        const ThaiKind next = i + 1 < text.size() ? thaiKind(text[i + 1]) : ThaiKind::other;
        const bool afterLetter = previous != ThaiKind::other && previous != ThaiKind::sign;
        thai.letters += kind == ThaiKind::other ? 0 : 1;
        bool ordered = true;
        switch (kind) {
        case ThaiKind::other:
        case ThaiKind::consonant:
            continue;
        case ThaiKind::leadingVowel:
            ordered = next == ThaiKind::consonant;
            break;
        case ThaiKind::markAbove:
            ordered = previous == ThaiKind::consonant &&
                      (text[i] != 0xE31 || next == ThaiKind::consonant || next == ThaiKind::tone);
            break;
        case ThaiKind::tone:
            ordered = previous == ThaiKind::consonant || (previous == ThaiKind::markAbove && i > 1 &&
                                                          thaiKind(text[i - 2]) == ThaiKind::consonant);
            break;
        case ThaiKind::followingVowel:
            ordered = afterLetter && previous != ThaiKind::leadingVowel;
            break;
        case ThaiKind::sign:
            ordered = text[i] == 0xE46 || text[i] == 0xE2F
                          ? afterLetter && next != ThaiKind::consonant
                          : !afterLetter && (next == ThaiKind::other || next == ThaiKind::sign);
            break;
        }
        thai.ordered = thai.ordered && ordered;
        thai.vowelsAndMarks += kind == ThaiKind::sign ? 0 : 1;
    }
    return thai;
}

// Whether the bytes read in Big5 as characters Chinese writes every day (ICU's exemplar characters
// of Traditional Chinese). Big5 keeps its most common characters in the rows EUC-JP has its kana
// in: a short Chinese text reads in EUC-JP as a kanji and a kana or two (「粗心」 as 「科み」).
bool readsAsCommonChinese(std::string_view bytes) {
    static const std::unique_ptr<USet, SetDeleter> common = everydayCharacters("zh_Hant");
    const auto read = decoded("Big5", bytes);
    if (!read || !common) return false;
    for (int32_t i = 0; i < read->length(); i = read->moveIndex32(i, 1))
        if (const UChar32 c = read->char32At(i); c >= 0x80 && !uset_contains(common.get(), c)) return false;
    return true;
}

// How the bytes read in one of the two 8-bit Japanese sets.
enum class JapaneseReading {
    none,      // not well-formed, or not what a writer of Japanese makes
    plausible, // text a writer of Japanese makes, but that other sets read as well
    sure,      // Japanese text with two-byte characters
};

// The strict reading is checked the way Japanese text is written: small kana, marks and iteration
// marks only after what they follow, no kanji inside a Latin word, and no half-width katakana beside
// two-byte characters. A text of ASCII and half-width katakana alone is an old writer's (「ｶﾒﾗ」)
// but reads as well as Shift_JIS kanji, EUC-JP kanji, Cyrillic or Thai, and stays plausible; so
// does Shift_JIS whose kanji are all EUC-JP's half-width katakana (「芝爵疾爵漆」 for 「ﾅﾝｾﾝｽ」). In
// Shift_JIS, text with two-byte characters needs one from the rows of kana, punctuation and the
// common kanji. EUC-JP shares its two-byte characters with Chinese, Korean and Thai texts: it needs
// a kana, only characters Japanese uses (not the Greek, Cyrillic and box-drawing rows), a kana alone
// only where Japanese puts one, brackets in pairs, and stays plausible where it is three kana or
// fewer (Big5 reads its most common characters in the rows of EUC-JP's kana: 「五中」 as 「きい」),
// where the bytes are everyday Chinese in Big5, or where they read as Thai.
JapaneseReading japaneseReading(const char* set, std::string_view bytes) {
    const auto read = decoded(set, bytes);
    if (!read || hasControlCharacters(*read)) return JapaneseReading::none;
    const std::u32string text = codePoints(*read);
    const bool shiftJis = std::string_view(set) == kShiftJis;
    bool halfWidth = false;
    bool twoByte = false;
    std::size_t kana = 0;
    bool onlyKana = true;
    std::size_t beyondAscii = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const UChar32 c = text[i];
        if (!(shiftJis ? !isPrivateUse(c) : isJapaneseCharacter(c)) ||
            !followsInJapanese(i > 0 ? text[i - 1] : 0, c))
            return JapaneseReading::none;
        // The long-vowel mark goes with either kana (「ちゃーめん」).
        const KanaScript script = c == u'ー' ? KanaScript::none : kanaScript(c);
        const auto sameKana = [&](std::size_t k) {
            return kanaScript(text[k]) == script || text[k] == u'ー';
        };
        const bool alone = script != KanaScript::none && (i == 0 || !sameKana(i - 1)) &&
                           (i + 1 == text.size() || !sameKana(i + 1));
        // Only EUC-JP's kana are what other sets' common characters read as.
        if (!shiftJis && alone && !standsAloneInJapanese(text, i)) return JapaneseReading::none;
        // Western words read as kanji inside a Latin word (「Sant’Elena」 in Shift_JIS as 「Sant脱lena」).
        if (c >= 0x80 && i > 0 && isAsciiLetter(text[i - 1])) {
            std::size_t end = i;
            while (end < text.size() && text[end] >= 0x80)
                ++end;
            if (end < text.size() && isAsciiLetter(text[end])) return JapaneseReading::none;
        }
        halfWidth = halfWidth || isHalfWidthKatakana(c);
        twoByte = twoByte || (c >= 0x80 && !isHalfWidthKatakana(c));
        kana += isKana(c) ? 1 : 0;
        onlyKana = onlyKana && (c < 0x80 || isKana(c));
        beyondAscii += c >= 0x80 ? 1 : 0;
    }
    bool common = false;
    // Whether every two-byte character is a kanji of row 0x8E whose second byte is a half-width
    // katakana: then the bytes are EUC-JP's half-width katakana as well.
    bool halfWidthInEucJapanese = true;
    for (std::size_t i = 0; shiftJis && i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (!isShiftJisLead(lead)) continue;
        common = common || opensCommonShiftJisRow(lead);
        const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        halfWidthInEucJapanese = halfWidthInEucJapanese && lead == 0x8E && trail >= 0xA1 && trail <= 0xDF;
        ++i;
    }
    if (!twoByte || (shiftJis && halfWidthInEucJapanese)) return JapaneseReading::plausible;
    if (halfWidth || !(shiftJis ? common : kana > 0)) return JapaneseReading::none;
    if (shiftJis) return JapaneseReading::sure;
    if (!bracketsPair(text)) return JapaneseReading::none;
    // A Thai text of any length has a vowel or tone mark to every two or three letters; a Japanese
    // one keeps Thai's order with that many only where it is short or has a rare kanji.
    const ThaiReading thai = thaiReading(bytes);
    const bool brief = beyondAscii <= 4;
    const bool rare =
        std::any_of(text.begin(), text.end(), [](UChar32 c) { return isIdeograph(c) && !isCommonKanji(c); });
    const bool readsAsThai =
        thai.ordered && thai.vowelsAndMarks > 0 && (brief || rare || thai.vowelsAndMarks * 4 >= thai.letters);
    if ((onlyKana && kana <= 3) || readsAsCommonChinese(bytes) || readsAsThai)
        return JapaneseReading::plausible;
    return JapaneseReading::sure;
}

// A Latin letter with a case; ƒ, in Windows-1252, is the florin sign, and ª and º are ordinals.
bool isLatinLetter(UChar32 c) {
    UErrorCode status = U_ZERO_ERROR;
    const auto type = u_charType(c);
    return (type == U_UPPERCASE_LETTER || type == U_LOWERCASE_LETTER || type == U_TITLECASE_LETTER) &&
           c != u'ƒ' && uscript_getScript(c, &status) == USCRIPT_LATIN;
}

// Whether Windows-1252 holds the character.
bool isInWindows1252(UChar32 c) {
    return c < 0x100 || isOneOf(c, u"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ");
}

// Whether the letter beyond ASCII at `at` is a word of its own of a Western language: the French
// and Portuguese preposition à, the Italian verb è (È at the start of a sentence), the Portuguese
// é, beside a word in small letters or with an accent (「photo à Paris」, 「Arrivée à Tokyo」), and à
// before a place's name (「Fromagerie à Lyon」), where the text is read in Windows-1252: Russian's и
// and а read in Windows-1251 as è and à, mostly between names when they stand among Latin words,
// or beside letters that make no word (「bfq и tsd」).
bool isWesternOneLetterWord(const std::u32string& text, std::size_t at, bool windows1252) {
    if (!isOneOf(text[at], u"àÀèÈé")) return false;
    if (!windows1252) return std::any_of(text.begin(), text.end(), isAsciiLetter);
    // A word with a vowel, in small letters or with an accent.
    const auto smallOrAccented = [&](std::size_t start, std::size_t end) {
        const auto first = text.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = text.begin() + static_cast<std::ptrdiff_t>(end);
        const auto accented = [](UChar32 c) { return c >= 0x80; };
        const bool vowel = std::any_of(first, last, [&](UChar32 c) { return accented(c) || isOneOf(u_tolower(c), u"aeiouy"); });
        return start < end && vowel && (u_islower(text[start]) || std::any_of(first, last, accented));
    };
    if (at >= 2 && text[at - 1] == U' ') {
        // The word before, through the punctuation that closes it (「Noël» à」).
        std::size_t end = at - 1;
        while (end > 0 && isOneOf(text[end - 1], u"»”’),.;:!?"))
            --end;
        std::size_t start = end;
        while (start > 0 && isLatinLetter(text[start - 1]))
            --start;
        if (smallOrAccented(start, end)) return true;
    }
    if (at + 2 < text.size() && text[at + 1] == U' ') {
        std::size_t end = at + 2;
        while (end < text.size() && isLatinLetter(text[end]))
            ++end;
        if (smallOrAccented(at + 2, end)) return true;
        if (text[at] == u'à' && end > at + 3 && u_isupper(text[at + 2]) && u_islower(text[at + 3])) return true;
    }
    return false;
}

// Whether the letter beyond ASCII at `at`, in a word ending at `end`, stands where the languages of
// western Europe write it. Turkish, Polish and Czech read in Latin-1 and Windows-1252 with letters
// those languages write elsewhere or not at all: ş and ğ as þ and ð, ı and İ as ý and Ý
// (「Taşkent」 as 「Taþkent」), ń as ñ before a consonant (「estoński」), ę as ê before g, z, d or k
// (「Węgry」 as 「Wêgry」), ś as œ (「Święto」 as 「Œwiêto」), ć as æ after a vowel, ď as ï before
// a, o or u (「Maďarsko」 as 「Maïarsko」), č as è where French writes no è (「Kučing」 as 「Kuèing」,
// 「angličtina」 as 「angliètina」: French writes è before e after a consonant or two, or before a
// final s), ř as ø before a vowel (「Řecko」 as 「Øecko」), and ě, ň and ů as ì, ò and ù inside a
// word or after letters Italian puts none of them after (「Kodaň」 as 「Kodaò」, 「jazyků」 as
// 「jazykù」).
bool standsAsWesternLetter(const std::u32string& text, std::size_t at, std::size_t end) {
    const UChar32 c = u_tolower(text[at]);
    const UChar32 next = at + 1 < end ? u_tolower(text[at + 1]) : 0;
    const UChar32 previous = at > 0 ? u_tolower(text[at - 1]) : 0;
    const auto isVowel = [](UChar32 v) { return v != 0 && isOneOf(v, u"aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüœ"); };
    if (isOneOf(c, u"þðý")) return false;
    if (c == u'ñ') return isVowel(next);
    if (c == u'è') {
        // The end of the word (「caffè」), a final s (「après」), or one or two consonants and e.
        std::size_t vowel = at + 1;
        while (vowel < end && vowel < at + 3 && !isVowel(u_tolower(text[vowel])))
            ++vowel;
        if (vowel == end) return vowel == at + 1 || (vowel == at + 2 && next == u's');
        return vowel > at + 1 && u_tolower(text[vowel]) == u'e';
    }
    if (c == u'ê') return next == 0 || isOneOf(next, u"tmcvplnsr");
    if (c == u'œ') return isOneOf(next, u"ui");
    if (c == u'æ') return !isVowel(previous);
    if (c == u'ï') return !isOneOf(next, u"aou");
    // Portuguese's ã and õ end a word or come before a vowel, never begin one.
    if (c == u'ã') return u_isalpha(previous);
    // Danish and Norwegian ø before a consonant, y or nothing.
    if (c == u'ø') return !isVowel(next) || next == u'y';
    // Italian's ì, ò and ù end a word: 「così」, 「Forlì」, 「Niccolò」, 「può」, 「più」, 「Cantù」.
    if (c == u'ì') return next == 0 && isOneOf(previous, u"sld");
    if (c == u'ò') return next == 0 && !isOneOf(previous, u"ae");
    if (c == u'ù') return next == 0 && isOneOf(previous, u"itrsblnf");
    return true;
}

// Whether the sign beyond ASCII at `at` stands where Western texts put it: an opening quotation
// mark before a word and closed later, a closing one after a word (or its full stop) and not before
// one (through no-break spaces and other quotation marks), a dash between spaces or between letters
// and digits, ¡ and ¿ before a Spanish word, °, ², ³, ®, ™ and the ordinals after what they count or
// mark, fractions after a number or a space, × and ± beside a number, µ before a unit, © before a
// name, and the currencies and § not beside another sign.
bool standsAsWesternSign(const std::u32string& text, std::size_t at) {
    const UChar32 c = text[at];
    const auto position = static_cast<std::ptrdiff_t>(at);
    const auto character = [&](std::ptrdiff_t i) {
        return i >= 0 && static_cast<std::size_t>(i) < text.size() ? text[static_cast<std::size_t>(i)] : U' ';
    };
    constexpr std::u16string_view kQuotations = u"\u00a0«»‘’“”„…";
    // The nearest character on one side that is not a quotation mark or a no-break space.
    const auto beyondQuotations = [&](std::ptrdiff_t step) {
        std::ptrdiff_t i = position + step;
        while (isOneOf(character(i), kQuotations))
            i += step;
        return character(i);
    };
    const auto closedLater = [&](std::u16string_view closing) {
        for (std::size_t i = at + 1; i < text.size(); ++i)
            if (isOneOf(text[i], closing)) return true;
        return false;
    };
    const UChar32 previous = character(position - 1);
    const UChar32 next = character(position + 1);
    const auto isSpace = [](UChar32 s) { return s == U' ' || s == 0xA0 || s == U'\n' || s == U'\t'; };
    // The no-break space French puts inside « » and before : ; ! ?.
    if (c == 0xA0) return true;
    if (isOneOf(c, u"–—"))
        return (isSpace(previous) && isSpace(next)) || (u_isalnum(previous) && u_isalnum(next));
    if (isOneOf(c, u"«‘“„")) {
        const std::u16string_view closing = c == u'«' ? u"»" : c == u'‘' ? u"’‘" : u"”“";
        return !u_isalnum(previous) && u_isalnum(beyondQuotations(1)) && closedLater(closing);
    }
    if (isOneOf(c, u"»’”…")) {
        const UChar32 before = beyondQuotations(-1);
        return (u_isalnum(before) || isOneOf(before, u".!?")) && !u_isalnum(next);
    }
    if (isOneOf(c, u"¡¿"))
        return !u_isalnum(previous) && (isAsciiLetter(next) || isOneOf(next, u"ÁÉÍÓÚÑáéíóúñ«“")) &&
               text.find(c == u'¡' ? U'!' : U'?', at) != std::u32string::npos;
    if (c == u'°') return u_isdigit(previous) || (previous == U' ' && at > 1 && u_isdigit(text[at - 2]));
    // m², 10³, Sony®, 1º, Nª.
    if (isOneOf(c, u"²³")) return (u_isdigit(previous) || previous == U'm') && !u_isalpha(next);
    if (isOneOf(c, u"®™ªº")) return u_isalnum(previous) && !u_isalpha(next);
    if (isOneOf(c, u"¼½¾")) return (u_isdigit(previous) || isSpace(previous)) && !u_isalpha(next);
    // µ before its unit, × and ± beside a number (「5 µm」, 「3 × 4」, 「±2」).
    if (c == u'µ') return isAsciiLetter(next);
    if (isOneOf(c, u"×±"))
        return u_isdigit(next) || u_isdigit(previous) || u_isdigit(character(position + 2)) ||
               u_isdigit(character(position - 2));
    if (!isOneOf(c, u"¢£¥§©€")) return false;
    const bool besideSign = (previous >= 0x80 && !u_isalpha(previous) && !isSpace(previous)) ||
                            (next >= 0x80 && !u_isalpha(next) && !isSpace(next));
    // © before a name, never right after a word.
    if (c == u'©' && u_isalpha(previous)) return false;
    const bool beforeName = c == u'©' && u_isupper(next) && at + 2 < text.size() && u_islower(text[at + 2]);
    return !besideSign && (!u_isalpha(next) || beforeName);
}

// Whether the text reads as Western words: each word with a letter beyond ASCII has an ASCII
// letter too (「François」, 「Smith’s」) without a change from small to capital letters beside it,
// or is à, è or é in a text with other words; no word mixes Latin letters with another alphabet;
// each sign of Windows-1252 stands where Western texts put it; and read in Windows-1252, each
// letter stands where the languages of western Europe write it. Texts of other
// scripts read in Windows-1252 as runs of accented letters and signs (「Москва」 in Windows-1251 as
// 「Ìîñêâà」, 「中國」 in Big5 as 「¤¤°ê」, 「箜」 as 「ãO」). Characters beyond Windows-1252's are
// left to other checks.
bool readsAsWesternText(const std::u32string& text, bool windows1252) {
    const auto isWordCharacter = [&](std::size_t i) {
        if (u_isalpha(text[i])) return true;
        // An apostrophe or a Catalan middle dot between two letters.
        return isOneOf(text[i], u"'’·") && i > 0 && i + 1 < text.size() && u_isalpha(text[i - 1]) &&
               u_isalpha(text[i + 1]);
    };
    bool signs = false;
    bool letters = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const UChar32 c = text[i];
        letters = letters || u_isalnum(c);
        if (c < 0x80) continue;
        if (isLatinLetter(c)) {
            std::size_t start = i;
            std::size_t end = i + 1;
            while (start > 0 && isWordCharacter(start - 1))
                --start;
            while (end < text.size() && isWordCharacter(end))
                ++end;
            const auto first = text.begin() + static_cast<std::ptrdiff_t>(start);
            const auto last = text.begin() + static_cast<std::ptrdiff_t>(end);
            const bool ascii = std::any_of(first, last, isAsciiLetter);
            const bool otherAlphabet = std::any_of(first, last, [](UChar32 l) {
                return u_isalpha(l) && !isLatinLetter(l) && !isOneOf(l, u"'’·");
            });
            const bool toCapital = (i + 1 < end && u_islower(c) && u_isupper(text[i + 1])) ||
                                   (i > start && u_islower(text[i - 1]) && u_isupper(c));
            // After its first letter a word (up to an apostrophe: 「L’Été」) is in small or in
            // capital letters (「Continental 險灘」 in Big5 reads as 「Continental ÀIÅy」).
            std::size_t from = i;
            std::size_t to = i + 1;
            while (from > start && u_isalpha(text[from - 1]))
                --from;
            while (to < end && u_isalpha(text[to]))
                ++to;
            const auto restHas = [&](UBool (*isCase)(UChar32)) {
                return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(from + 1),
                                   text.begin() + static_cast<std::ptrdiff_t>(to), isCase);
            };
            const bool mixedCase = restHas(u_isupper) && restHas(u_islower);
            const bool oneLetterWord = end == start + 1 && isWesternOneLetterWord(text, i, windows1252);
            if (otherAlphabet || toCapital || mixedCase || (!ascii && !oneLetterWord) ||
                (windows1252 && !standsAsWesternLetter(text, i, end)))
                return false;
            continue;
        }
        if (!isInWindows1252(c)) continue;
        if (isOneOf(c, u"’·") && isWordCharacter(i)) continue;
        if (!standsAsWesternSign(text, i)) return false;
        signs = true;
    }
    // A sign alone is what one Chinese character reads as (「鲁」 in GBK as 「³」 in UTF-8).
    return letters || !signs;
}

// Whether a character beyond ASCII is of a block that texts are written in: Latin, the main
// Greek, Cyrillic, Armenian, Hebrew, Arabic and Thai letters, Hangul, kana, the main ideographs,
// punctuation, the common symbols and emoji.
bool isOfCommonBlock(UChar32 c) {
    return c < 0x300 || (c >= 0x384 && c <= 0x3CE) || (c >= 0x400 && c <= 0x45F) ||
           (c >= 0x490 && c <= 0x4FF) || (c >= 0x531 && c <= 0x587) || (c >= 0x5B0 && c <= 0x5F4) ||
           (c >= 0x600 && c <= 0x6FF) || (c >= 0xE01 && c <= 0xE5B) || (c >= 0x1E00 && c <= 0x1EFF) ||
           (c >= 0x2000 && c <= 0x27BF) || (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xFE30 && c <= 0xFFEF) ||
           (c >= 0x1F000 && c <= 0x1FAFF);
}

// The alphabets whose letters two-byte UTF-8 sequences and Thai's three-byte ones stand for, and
// that Chinese and Thai bytes therefore read as.
bool isOfOtherAlphabetScript(UChar32 c) {
    UErrorCode status = U_ZERO_ERROR;
    switch (uscript_getScript(c, &status)) {
    case USCRIPT_GREEK:
    case USCRIPT_CYRILLIC:
    case USCRIPT_ARMENIAN:
    case USCRIPT_HEBREW:
    case USCRIPT_ARABIC:
    case USCRIPT_THAI:
        return true;
    default:
        return false;
    }
}
bool isOfOtherAlphabet(UChar32 c) {
    return isOfOtherAlphabetScript(c) && u_isalnum(c);
}

// Alphabets written with spaces between words, whose letters do not stand beside Latin ones.
bool isSpacedAlphabet(UChar32 c) {
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(c, &status);
    return u_isalpha(c) && (script == USCRIPT_LATIN || script == USCRIPT_GREEK ||
                            script == USCRIPT_CYRILLIC || script == USCRIPT_ARMENIAN);
}

bool isCombiningMark(UChar32 c) {
    const auto type = u_charType(c);
    return type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK || type == U_ENCLOSING_MARK;
}

// Whether a well-formed UTF-8 reading is text someone wrote: characters of the common blocks
// only, each combining mark after a letter of its script, no word mixing Latin, Greek, Cyrillic or
// Armenian letters, three letters at least of those alphabets and of Hebrew, Arabic and Thai where
// the text has no East Asian ones, and Western words as above. Shift_JIS, EUC-JP, Chinese and Thai bytes that
// happen to be well-formed UTF-8 read as rare blocks (「缺格」 in Shift_JIS as 「㞊i」, Thai as Braille), as
// a letter alone or mixed with another alphabet (「ﾐｽﾃｨ」 in Shift_JIS as 「нè」, 「小小」 in GBK as 「СС」),
// or as stray Latin letters (「谷村」 in EUC-JP as 「ë¼」).
bool readsAsWrittenUtf8(const icu::UnicodeString& read) {
    const std::u32string text = codePoints(read);
    UErrorCode status = U_ZERO_ERROR;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const UChar32 c = text[i];
        if (c < 0x80) continue;
        if (isCombiningMark(c)) {
            const UScriptCode script = uscript_getScript(c, &status);
            if (i == 0 || !(u_isalpha(text[i - 1]) || isCombiningMark(text[i - 1])) ||
                (script != USCRIPT_INHERITED && script != uscript_getScript(text[i - 1], &status)))
                return false;
            continue;
        }
        const auto type = u_charType(c);
        if (type == U_UNASSIGNED || type == U_CONTROL_CHAR || !isOfCommonBlock(c)) return false;
        // Pictographs apart from Latin letters (「笞刑」 in Shift_JIS reads as 「⚌Y」).
        if (c >= 0x2600 && c <= 0x27BF &&
            ((i > 0 && isAsciiLetter(text[i - 1])) || (i + 1 < text.size() && isAsciiLetter(text[i + 1]))))
            return false;
        // A modifier letter after the letter it marks (「metaʼ」).
        if (c >= 0x2B0 && c <= 0x2FF && (i == 0 || !u_isalpha(text[i - 1]))) return false;
        // The signs of those alphabets' blocks (「枉」 in EUC-JP reads as the Sindhi 「۾」).
        if (isOfOtherAlphabetScript(c) && !u_isalnum(c) && !u_ispunct(c)) return false;
        if (!isOfOtherAlphabet(c)) continue;
        std::size_t start = i;
        std::size_t end = i + 1;
        while (start > 0 && (u_isalnum(text[start - 1]) || isCombiningMark(text[start - 1])))
            --start;
        while (end < text.size() && (u_isalnum(text[end]) || isCombiningMark(text[end])))
            ++end;
        const UScriptCode script = uscript_getScript(c, &status);
        for (std::size_t k = start; isSpacedAlphabet(c) && k < end; ++k)
            if (isSpacedAlphabet(text[k]) && uscript_getScript(text[k], &status) != script) return false;
    }
    // A text in another alphabet alone has three of its characters at least (「小小」 in GBK reads as
    // 「СС」); beside kana, ideographs or Hangul one is enough (「プラスα」).
    const bool eastAsian = std::any_of(text.begin(), text.end(), [](UChar32 c) {
        return isKana(c) || isIdeograph(c) || (c >= 0xAC00 && c <= 0xD7A3);
    });
    const auto alphabetic = std::count_if(text.begin(), text.end(), [](UChar32 c) {
        return isOfOtherAlphabetScript(c) || (c >= 0x80 && isCombiningMark(c));
    });
    return (alphabetic == 0 || alphabetic >= 3 || eastAsian) && readsAsWesternText(text, false);
}

// The Japanese set of bytes, when only one of Shift_JIS and EUC-JP reads them as a writer of
// Japanese would have written them and that reading has two-byte characters. Nearly every EUC-JP
// text also reads in Shift_JIS, as half-width katakana and rare kanji, which no writer makes; an
// even run of half-width katakana reads as EUC-JP kanji, and EUC-JP's half-width katakana as
// Shift_JIS kanji of one row (「ﾅﾝｾﾝｽ」 as 「芝爵疾爵漆」): such texts stay plausible in both and
// are not told apart.
std::optional<std::string> japaneseSet(std::string_view bytes) {
    const JapaneseReading shiftJis = japaneseReading(kShiftJis, bytes);
    const JapaneseReading eucJapanese = japaneseReading(kEucJapanese, bytes);
    if (shiftJis == JapaneseReading::sure && eucJapanese == JapaneseReading::none) return kShiftJis;
    if (eucJapanese == JapaneseReading::sure && shiftJis == JapaneseReading::none) return kEucJapanese;
    return std::nullopt;
}

// Whether each character beyond ASCII of a text read in Windows-1252 stands alone between ASCII
// characters (or beside a quotation mark, a dash or an ellipsis, or as ß after an umlaut: 「l’été」,
// 「Grüße」), and Latin letters make the text: three at least and twice as many as the characters
// beyond ASCII. Runs of Shift_JIS kanji whose second bytes are letters read as letters and signs
// in turn (「膳棚山」 as 「‘V’IŽR」), Big5 as 「¥]ÀY」.
bool standsAloneAmongLatin(const std::u32string& text) {
    constexpr std::u16string_view kBesideLetters = u"’‘“”«»…–—";
    std::size_t ascii = 0;
    std::size_t beyond = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const UChar32 c = text[i];
        ascii += isAsciiLetter(c) ? 1 : 0;
        beyond += c >= 0x80 && c != 0xA0 ? 1 : 0;
        const UChar32 previous = i > 0 ? text[i - 1] : 0;
        if (c < 0x80 || previous < 0x80) continue;
        if (isOneOf(previous, u"äöü") && c == u'ß') continue;
        if ((isOneOf(previous, kBesideLetters) && isLatinLetter(c)) ||
            (isOneOf(c, kBesideLetters) && isLatinLetter(previous)))
            continue;
        return false;
    }
    if (ascii < 3 || ascii < 2 * beyond) return false;
    // Russian's и, its "and", reads as the Italian verb è: where that is all there is beyond
    // ASCII, a word beside it must be an Italian one, of four letters or more ending in a vowel
    // (「la vita è bella」, not 「kiu и lmo」).
    // A word of ASCII letters from `start` up to `end`.
    const auto italianWord = [&](std::size_t start, std::size_t end) {
        return end >= start + 4 && isOneOf(u_tolower(text[end - 1]), u"aeiou");
    };
    bool onlyGraveE = true;
    bool besideItalianWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x80) continue;
        const bool alone = isOneOf(text[i], u"èÈ") && (i == 0 || text[i - 1] == U' ') &&
                           (i + 1 == text.size() || text[i + 1] == U' ');
        onlyGraveE = onlyGraveE && alone;
        if (!alone) continue;
        std::size_t start = i > 0 ? i - 1 : 0;
        while (start > 0 && isAsciiLetter(text[start - 1]))
            --start;
        const std::size_t after = std::min(i + 2, text.size());
        std::size_t end = after;
        while (end < text.size() && isAsciiLetter(text[end]))
            ++end;
        besideItalianWord = besideItalianWord || (i > 0 && italianWord(start, i - 1)) || italianWord(after, end);
    }
    return !onlyGraveE || besideItalianWord;
}

// How sure ICU's detector is, of 100, that the bytes are in Latin-1 or Windows-1252: nothing when
// it answers another set.
int32_t westernConfidence(const std::string& bytes) {
    if (bytes.size() > INT32_MAX) return 0;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorDeleter> detector(ucsdet_open(&status));
    ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !match) return 0;
    const int32_t confidence = ucsdet_getConfidence(match, &status);
    const char* name = ucsdet_getName(match, &status);
    if (U_FAILURE(status) || !name) return 0;
    const std::string_view set(name);
    return set == "ISO-8859-1" || set == kWindows1252 ? confidence : 0;
}

// The set of bytes that are not UTF-8: Japanese as above, or Western text in Windows-1252 (which
// holds Latin-1's letters and signs) when ICU's detector is sure of Latin-1 or Windows-1252 and
// the bytes read as Western text there. Short Western words also read as Japanese (「Smith’s」 in
// Shift_JIS as 「Smith痴」), and short Japanese ones as Western (「白金」 as 「”’‹à」): where both
// readings hold, ICU's detector, whatever its confidence, tells which; where it names neither, the
// texts are left out. ICU takes short Japanese texts for Western ones with high confidence
// (「風景」 in Shift_JIS for Windows-1252, 98 of 100), and Chinese, Cyrillic and Thai ones too:
// its answer alone is never taken. Nor is it needed where every byte beyond ASCII stands alone
// between Latin letters, spaces and punctuation, as Western letters do (「Señora García」,
// 「Piazza San Marco – Venezia」): Japanese, Chinese and Korean characters take two bytes, and the
// letters of other alphabets come in words; such a byte that Shift_JIS takes into a kanji with the
// letter after it (「Crème」 as 「Cr鞫e」) is no Japanese either. ICU gives many of these texts less
// than 40 of 100, or names ISO-8859-2 for Italian (「Carnevale a Cantù」, 98).
std::optional<std::string> eightBitSet(const std::string& bytes) {
    const std::optional<std::string> japanese = japaneseSet(bytes);
    const auto western = decoded(kWindows1252, bytes);
    if (!western) return japanese;
    const std::u32string text = codePoints(*western);
    if (!readsAsWesternText(text, true)) return japanese;
    if (standsAloneAmongLatin(text)) return kWindows1252;
    if (japanese || westernConfidence(bytes) < kSureConfidence) return std::nullopt;
    return kWindows1252;
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
    if (const auto read = decoded(kUtf8, evidence); read && readsAsWrittenUtf8(*read)) {
        // Shift_JIS whose second bytes are Latin letters is often well-formed UTF-8 too, an
        // ideograph beside a letter (「鬧天」 reads as 「駓V」): where the bytes are Japanese for sure
        // as well, such a reading cannot be told from it.
        const std::u32string text = codePoints(*read);
        bool besideLatin = false;
        for (std::size_t i = 1; i < text.size(); ++i)
            besideLatin = besideLatin || (isIdeograph(text[i - 1]) && isAsciiLetter(text[i])) ||
                          (isAsciiLetter(text[i - 1]) && isIdeograph(text[i]));
        return IptcCharacterSet(besideLatin && japaneseSet(evidence) ? kAscii : kUtf8);
    }
    return IptcCharacterSet(eightBitSet(evidence).value_or(kAscii));
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
