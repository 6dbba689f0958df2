// Undeclared IPTC texts as older writers stored them: several thousand records (a caption alone, a
// caption with its by-line and city, or a single word, name or place) in each of the 8-bit sets
// they used, made of the words, names and places of Debian's word lists and dictionaries and of
// ICU's locale data. Each benchmark reads one set's records without a declaration and counts the
// records carried (every text read back exactly), garbled (a text read back as something else) and
// left out (a text not read, none garbled); reading the same records with their set declared is
// the baseline.
//
// The word lists come from the packages wfrench, witalian, wngerman, wspanish, hunspell-ru,
// hunspell-th, hunspell-ko, skkdic and skkdic-extra (scripts/install-deps does not install them);
// a set whose lists are missing is skipped. SORVIN_IPTC_CORPUS_DUMP=FILE writes every record, how
// it read and the outcome; SORVIN_IPTC_CORPUS_SEED=N makes another corpus of the same kind. To
// compare another version of the reader, build this file with that version's
// src/core/platform/iptc_character_set.cpp.
#include "platform/iptc_character_set.hpp"
#include "platform/unicode_text.hpp"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/translit.h>
#include <unicode/tznames.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <vector>

namespace sorvin {
namespace {

using Words = std::vector<std::string>;

std::string utf8Of(const icu::UnicodeString& text) {
    std::string bytes;
    text.toUTF8String(bytes);
    return bytes;
}

// The text in the set, or nothing when the set cannot hold it exactly.
std::optional<std::string> encoded(const char* set, const std::string& utf8) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(set, &status), ucnv_close);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    std::string bytes(static_cast<std::size_t>(text.length()) * 4 + 8, '\0');
    const int32_t length =
        text.extract(bytes.data(), static_cast<int32_t>(bytes.size()), converter.get(), status);
    if (U_FAILURE(status)) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));
    // Some sets map two characters to one code; such a text would not read back as it was.
    converter.reset(ucnv_open(set, &status));
    const icu::UnicodeString back(bytes.data(), length, converter.get(), status);
    if (U_FAILURE(status) || back != text) return std::nullopt;
    return bytes;
}

std::vector<std::string> linesOf(const char* path, const char* set) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (set) {
            UErrorCode status = U_ZERO_ERROR;
            std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(set, &status), ucnv_close);
            line = utf8Of(
                icu::UnicodeString(line.data(), static_cast<int32_t>(line.size()), converter.get(), status));
        }
        lines.push_back(line);
    }
    return lines;
}

bool hasLetter(const std::string& utf8) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        if (u_isalpha(text.char32At(i))) return true;
    return false;
}

// Plain word lists, one word a line.
Words wordList(const char* path) {
    Words words;
    for (const std::string& line : linesOf(path, nullptr))
        if (!line.empty() && line.find_first_of("'. ") == std::string::npos) words.push_back(line);
    return words;
}

// Hunspell dictionaries: a count, then one word a line with its flags after a slash.
Words hunspellWords(const char* path) {
    Words words;
    const std::vector<std::string> lines = linesOf(path, nullptr);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        // Some dictionaries write Hangul decomposed into its letters.
        const auto word = UnicodeText::nfc(lines[i].substr(0, lines[i].find_first_of("/\t ")));
        if (word && hasLetter(*word)) words.push_back(*word);
    }
    return words;
}

// SKK dictionaries (EUC-JP or UTF-8): a reading in kana, then its words between slashes, each
// with an optional note after a semicolon. The readings are words in kana too.
Words skkWords(const char* path, const char* set, bool readings) {
    Words words;
    for (const std::string& line : linesOf(path, set)) {
        if (line.empty() || line[0] == ';') continue;
        const std::size_t space = line.find(" /");
        if (space == std::string::npos) continue;
        const std::string reading = line.substr(0, space);
        if (readings && reading.find_first_of("abcdefghijklmnopqrstuvwxyz#>0123456789") == std::string::npos)
            words.push_back(reading);
        for (std::size_t start = space + 2; start < line.size();) {
            const std::size_t end = line.find('/', start);
            if (end == std::string::npos) break;
            std::string word = line.substr(start, end - start);
            word = word.substr(0, word.find(';'));
            if (!word.empty() && word.find_first_of("()#\\\"") == std::string::npos) words.push_back(word);
            start = end + 1;
        }
    }
    return words;
}

// Countries, languages and cities named in the locale's language by ICU.
Words icuPlaces(const char* localeName) {
    const icu::Locale locale(localeName);
    Words places;
    icu::UnicodeString name;
    for (const char* const* country = icu::Locale::getISOCountries(); *country; ++country)
        places.push_back(utf8Of(icu::Locale("", *country).getDisplayCountry(locale, name)));
    for (const char* const* language = icu::Locale::getISOLanguages(); *language; ++language)
        places.push_back(utf8Of(icu::Locale(*language).getDisplayLanguage(locale, name)));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::TimeZoneNames> zones(icu::TimeZoneNames::createInstance(locale, status));
    std::unique_ptr<icu::StringEnumeration> ids(icu::TimeZone::createEnumeration(status));
    for (const icu::UnicodeString* id = ids ? ids->snext(status) : nullptr; id && U_SUCCESS(status);
         id = ids->snext(status))
        if (zones && !zones->getExemplarLocationName(*id, name).isBogus() && !name.isEmpty())
            places.push_back(utf8Of(name));
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    std::erase_if(places, [](const std::string& place) { return !hasLetter(place); });
    return places;
}

Words icuMonths(const char* localeName) {
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormatSymbols symbols(icu::Locale(localeName), status);
    int32_t count = 0;
    const icu::UnicodeString* months = symbols.getMonths(count);
    Words words;
    for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i)
        words.push_back(utf8Of(months[i]));
    return words;
}

Words transliterated(const char* id, const Words& words) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transliterator(
        icu::Transliterator::createInstance(id, UTRANS_FORWARD, status));
    Words out;
    for (const std::string& word : words) {
        icu::UnicodeString text = icu::UnicodeString::fromUTF8(word);
        transliterator->transliterate(text);
        out.push_back(utf8Of(text));
    }
    return out;
}

Words split(std::u8string_view list) {
    Words words;
    const std::string text(list.begin(), list.end());
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// What one language's captions, by-lines and cities are made of.
struct Language {
    Words words;
    Words places;
    Words givenNames;
    Words familyNames;
    bool familyFirst = false;
    Words nameGaps; // between the two names: " ", "", "　"
    Words joiners;  // between the parts of a caption: " de ", "の", ", "
    Words bylines;  // before a name: "Photo : ", "撮影："
    Words months;
    Words dateForms; // a date as the language writes it: {m} the month, {y} the year
    Words lone;      // texts of a record alone: words and places, or half-width katakana
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    // Of three words the shortest: captions use short, common words more than long ones.
    const std::string& pick(const Words& words) {
        const std::string* best = &words[below(words.size())];
        for (int i = 0; i < 2; ++i)
            if (const std::string& other = words[below(words.size())]; other.size() < best->size())
                best = &other;
        return *best;
    }
    const std::string& any(const Words& words) { return words[below(words.size())]; }

    std::string caption(const Language& l) {
        std::string text = chance(0.4) ? pick(l.places) : pick(l.words);
        for (std::size_t i = 1 + below(4); i > 1; --i)
            text += any(l.joiners) + (chance(0.3) ? pick(l.places) : pick(l.words));
        if (chance(0.15)) {
            std::string date = any(l.dateForms);
            if (const std::size_t at = date.find("{m}"); at != std::string::npos)
                date.replace(at, 3, any(l.months));
            if (const std::size_t at = date.find("{y}"); at != std::string::npos)
                date.replace(at, 3, std::to_string(1990 + below(36)));
            text += date;
        }
        return text;
    }
    std::string name(const Language& l) {
        const std::string& given = pick(l.givenNames);
        const std::string& family = pick(l.familyNames);
        const std::string& gap = any(l.nameGaps);
        return l.familyFirst ? family + gap + given : given + gap + family;
    }
    std::string byline(const Language& l) { return (chance(0.5) ? any(l.bylines) : "") + name(l); }

private:
    std::mt19937 random_;
};

struct Record {
    std::vector<std::string> texts;  // as written, in UTF-8
    std::vector<std::string> stored; // in the record's set
};

struct Corpus {
    std::string label;
    const char* set;
    std::vector<Record> records;
};

constexpr std::size_t kRecordsPerSet = 3000;

// Four records in ten a caption alone, four a caption, by-line and city, one a word or a name, one
// a place or another text that stands alone. Texts the set cannot hold are made again.
Corpus corpusOf(std::string label, const char* set, const Language& language, unsigned seed) {
    const char* otherSeed = std::getenv("SORVIN_IPTC_CORPUS_SEED");
    Generator g(seed + (otherSeed ? static_cast<unsigned>(std::strtoul(otherSeed, nullptr, 10)) * 100 : 0));
    Corpus corpus{std::move(label), set, {}};
    for (const Words* pool :
         {&language.words, &language.places, &language.givenNames, &language.familyNames, &language.nameGaps,
          &language.joiners, &language.bylines, &language.months, &language.dateForms})
        if (pool->empty()) return corpus;
    for (std::size_t attempt = 0; corpus.records.size() < kRecordsPerSet && attempt < 20 * kRecordsPerSet;
         ++attempt) {
        Record record;
        const std::size_t kind = g.below(10);
        if (kind < 4)
            record.texts = {g.caption(language)};
        else if (kind < 8)
            record.texts = {g.caption(language), g.byline(language), g.pick(language.places)};
        else if (kind == 8)
            record.texts = {g.chance(0.5) ? g.pick(language.words) : g.name(language)};
        else
            record.texts = {g.pick(language.lone.empty() ? language.places : language.lone)};
        for (const std::string& text : record.texts)
            if (auto bytes = encoded(set, text)) record.stored.push_back(std::move(*bytes));
        // A record of ASCII alone tells nothing of the reading.
        const bool beyondAscii =
            std::any_of(record.stored.begin(), record.stored.end(), [](const std::string& text) {
                return std::any_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
            });
        if (beyondAscii && record.stored.size() == record.texts.size())
            corpus.records.push_back(std::move(record));
    }
    return corpus;
}

Words titled(const Words& words) {
    return transliterated("Any-Title", words);
}

// Words of the list that are written in the script alone (no Latin letter, digit or sign).
Words inScript(const Words& words, UScriptCode script) {
    Words out;
    for (const std::string& word : words) {
        const icu::UnicodeString text = icu::UnicodeString::fromUTF8(word);
        bool ok = !text.isEmpty();
        for (int32_t i = 0; ok && i < text.length(); i = text.moveIndex32(i, 1)) {
            UErrorCode status = U_ZERO_ERROR;
            const UScriptCode s = uscript_getScript(text.char32At(i), &status);
            ok = s == script || (script == USCRIPT_KATAKANA && text.char32At(i) == u'ー');
        }
        if (ok) out.push_back(word);
    }
    return out;
}

// Words of Hangul syllables alone (no letters of the alphabet standing alone: 「ㅋ」).
Words syllables(const Words& words) {
    Words out;
    for (const std::string& word : words) {
        const icu::UnicodeString text = icu::UnicodeString::fromUTF8(word);
        bool ok = !text.isEmpty();
        for (int32_t i = 0; ok && i < text.length(); ++i)
            ok = text[i] >= 0xAC00 && text[i] <= 0xD7A3;
        if (ok) out.push_back(word);
    }
    return out;
}

Words shortOnes(const Words& words, std::size_t maxCodePoints) {
    Words out;
    for (const std::string& word : words)
        if (icu::UnicodeString::fromUTF8(word).countChar32() <= static_cast<int32_t>(maxCodePoints))
            out.push_back(word);
    return out;
}

// A space in the lists below stands between entries; an underscore in an entry is a space.
Words spaced(std::u8string_view list) {
    Words words = split(list);
    for (std::string& word : words)
        std::replace(word.begin(), word.end(), '_', ' ');
    return words;
}

// A language's words and names, its places and months from ICU, and how its captions join words,
// write a by-line and a date ({m} the month, {y} the year).
Language language(const char* locale, Words words, Words givenNames, Words familyNames, bool familyFirst,
                  Words nameGaps, std::u8string_view joiners, std::u8string_view bylines,
                  std::u8string_view dates) {
    Language l;
    l.words = std::move(words);
    l.places = icuPlaces(locale);
    l.givenNames = std::move(givenNames);
    l.familyNames = std::move(familyNames);
    l.familyFirst = familyFirst;
    l.nameGaps = std::move(nameGaps);
    l.joiners = spaced(joiners);
    l.bylines = spaced(bylines);
    l.months = icuMonths(locale);
    l.dateForms = spaced(dates);
    return l;
}

// A language known from ICU's data alone: captions of its places and months.
Language icuOnly(const char* locale) {
    const Words places = icuPlaces(locale);
    return language(locale, places, places, places, false, {" "}, u8"_ ,_ _-_", u8"©_ Foto:_",
                    u8",_{m}_{y} _({m}_{y})");
}

Language western(const char* locale, const char* listPath, std::u8string_view given,
                 std::u8string_view joiners, std::u8string_view bylines, std::u8string_view dates) {
    Words words = wordList(listPath);
    Words family = titled(words);
    return language(locale, std::move(words), split(given), std::move(family), false, {" "}, joiners, bylines,
                    dates);
}

std::vector<Corpus> makeCorpora() {
    std::vector<Corpus> corpora;
    const auto add = [&](Corpus corpus) {
        if (!corpus.records.empty()) corpora.push_back(std::move(corpus));
    };

    const Words jinmei = skkWords("/usr/share/skk/SKK-JISYO.jinmei", "EUC-JP", false);
    Language ja = language("ja", skkWords("/usr/share/skk/SKK-JISYO.L", "EUC-JP", true), jinmei, jinmei, true,
                           {"", " ", "　"}, u8"の と 、 に で から へ ・ ： を を見る にて",
                           u8"撮影： 撮影_ 写真： Photo:_ (C)_ 撮影・", u8"（{y}年{m}） _{y}年{m} _{y}/{m}");
    for (const char* file : {"/usr/share/skk/SKK-JISYO.geo", "/usr/share/skk/SKK-JISYO.station"}) {
        const Words more = skkWords(file, "EUC-JP", false);
        ja.places.insert(ja.places.end(), more.begin(), more.end());
    }
    // Old writers' katakana in half width: 「ｶﾒﾗ」.
    ja.lone = transliterated("Fullwidth-Halfwidth", shortOnes(inScript(ja.words, USCRIPT_KATAKANA), 8));
    add(corpusOf("Shift_JIS", "Shift_JIS", ja, 1));
    add(corpusOf("EUC-JP", "EUC-JP", ja, 2));

    const Language fr = western(
        "fr", "/usr/share/dict/french",
        u8"François Hélène Jérôme Léa Zoé Chloé Noémie Raphaël Gaëlle Benoît Cédric Jean Marie Pierre "
        u8"Sophie Anaïs",
        u8"_ _de_ _à_ _et_ _–_ ,_ _—_ _:_ _sur_ _au_ _du_ _en_ _la_ _le_ ’",
        u8"Photo_:_ ©_ Crédit_:_ Photo_© par_", u8"_–_{m}_{y} ,_{m}_{y} _(été_{y}) _le_1er_{m}_{y}");
    add(corpusOf("Windows-1252 French", "windows-1252", fr, 3));
    add(corpusOf(
        "Windows-1252 Italian", "windows-1252",
        western("it", "/usr/share/dict/italian",
                u8"Niccolò Nicolò Mattia Giosuè Zoè Noè Andrea Luca Giulia Chiara Francesco Martina "
                u8"Lucía Sofia",
                u8"_ _di_ _è_ _a_ _e_ _–_ ,_ _il_ _la_ _in_ _con_ _del_ _alla_ _più_ _perché_ _così_",
                u8"Foto_di_ ©_ Foto:_ Fotografia_di_", u8"_–_{m}_{y} ,_{m}_{y} _({m}_{y})"),
        4));
    const Language de =
        western("de", "/usr/share/dict/ngerman",
                u8"Jürgen Jörg Günther Björn Käthe Bärbel Sören Anna Lukas Jonas Lea Müller Hans Uwe",
                u8"_ _und_ _in_ _bei_ _am_ _im_ _über_ _mit_ _der_ _die_ _–_ ,_ _für_ _zum_ _von_",
                u8"Foto:_ ©_ Bild:_ Foto_©_", u8"_–_{m}_{y} ,_{m}_{y} _im_{m}_{y}");
    add(corpusOf("Windows-1252 German", "windows-1252", de, 5));
    add(corpusOf(
        "Windows-1252 Spanish", "windows-1252",
        western("es", "/usr/share/dict/spanish",
                u8"José María Jesús Ramón Inés Sofía Lucía Martín Raúl Núñez Begoña Íñigo Álvaro Ana "
                u8"Carlos",
                u8"_ _de_ _y_ _en_ _el_ _la_ _con_ _del_ _–_ ,_ _al_ _según_ _también_ _¿qué?_",
                u8"Foto:_ ©_ Fotografía:_ Foto_de_", u8"_–_{m}_de_{y} ,_{m}_de_{y} _({m}_{y})"),
        6));

    const Words pinyin = skkWords("/usr/share/skk/utf8/SKK-JISYO.pinyin", nullptr, false);
    const Language zh = language("zh", pinyin, shortOnes(pinyin, 2),
                                 split(u8"王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗 郑 梁 "
                                       u8"谢 宋 唐 许 韩 冯 邓 曹 彭 曾 肖 田 "
                                       u8"董 潘 袁 蔡 蒋 余 于 杜 叶 程 魏 苏 吕 丁 任 卢 姚 沈 钟 姜 崔 谭 "
                                       u8"陆 范 汪 廖 石 金 韦 贾 夏 付 方 "
                                       u8"邹 熊 白 孟 秦 邱 侯 江 尹 薛 闫 段 雷 龙 黎 史 陶 贺 毛 郝 顾"),
                                 true, {""}, u8"的 和 、 ， 在 与 之 _", u8"摄影： 摄影_ 图/ Photo:_ 记者_",
                                 u8"（{y}年{m}） _{y}年{m}");
    add(corpusOf("GBK", "GBK", zh, 7));
    Language hant = zh;
    for (Words* list : {&hant.words, &hant.familyNames, &hant.givenNames, &hant.joiners, &hant.bylines})
        *list = transliterated("Simplified-Traditional", *list);
    hant.places = icuPlaces("zh_Hant");
    hant.months = icuMonths("zh_Hant");
    add(corpusOf("Big5", "Big5", hant, 8));

    const Words korean = hunspellWords("/usr/share/hunspell/ko_KR.dic");
    add(corpusOf(
        "EUC-KR", "EUC-KR",
        language("ko", korean, shortOnes(syllables(korean), 2),
                 split(u8"김 이 박 최 정 강 조 윤 장 임 한 오 서 신 권 황 안 송 류 전 홍 고 문 양 손 배 "
                       u8"백 허 유 남 심 노 하 곽 성 차 주 우 구 민 진 지 엄 채 원 천 방 공 현 함 변 염 "
                       u8"여 추 도 소 석 선"),
                 true, {"", " "}, u8"_ 의_ 에서_ ,_ _-_ 와_ 과_", u8"사진:_ 촬영_ Photo:_ 사진_",
                 u8"_({y}년_{m}) _{y}년_{m}"),
        9));

    const Words russian = hunspellWords("/usr/share/hunspell/ru_RU.dic");
    const Language ru =
        language("ru", russian,
                 split(u8"Александр Сергей Наталья Ольга Дмитрий Елена Иван Мария Андрей Татьяна "
                       u8"Юрий Пётр Анна Михаил Ирина Алексей Светлана Николай"),
                 titled(russian), false, {" "}, u8"_ _и_ _в_ _на_ ,_ _-_ _с_ _у_ _под_ _из_",
                 u8"Фото:_ Фото_ Автор:_ Снимок:_", u8",_{m}_{y} _({m}_{y}_г.)");
    add(corpusOf("Windows-1251", "windows-1251", ru, 10));
    add(corpusOf("KOI8-R", "KOI8-R", ru, 11));

    const Words thaiWords = hunspellWords("/usr/share/hunspell/th_TH.dic");
    const Language th =
        language("th", thaiWords, shortOnes(thaiWords, 6), thaiWords, false, {" "}, u8"_ ที่ และ ของ ใน_ ,_",
                 u8"ภาพ:_ ถ่ายภาพโดย_ Photo:_ ภาพโดย_", u8"_{m}_{y} _({m}_{y})");
    add(corpusOf("TIS-620", "TIS-620", th, 12));

    // Texts in UTF-8, which is read whenever its bytes are well-formed and plausible.
    add(corpusOf("UTF-8 Japanese", "UTF-8", ja, 13));
    add(corpusOf("UTF-8 French", "UTF-8", fr, 14));
    add(corpusOf("UTF-8 German", "UTF-8", de, 15));
    add(corpusOf("UTF-8 Russian", "UTF-8", ru, 16));
    add(corpusOf("UTF-8 Chinese", "UTF-8", zh, 17));
    add(corpusOf("UTF-8 Thai", "UTF-8", th, 18));
    // Sets that are not read without a declaration, and whose letters are partly Latin-1's.
    add(corpusOf("ISO-8859-2 Polish", "ISO-8859-2", icuOnly("pl"), 19));
    add(corpusOf("ISO-8859-2 Czech", "ISO-8859-2", icuOnly("cs"), 20));
    add(corpusOf("ISO-8859-9 Turkish", "ISO-8859-9", icuOnly("tr"), 21));
    add(corpusOf("Windows-1253 Greek", "windows-1253", icuOnly("el"), 22));
    add(corpusOf("Windows-1255 Hebrew", "windows-1255", icuOnly("he"), 23));
    return corpora;
}

const std::vector<Corpus>& corpora() {
    static const std::vector<Corpus> all = makeCorpora();
    return all;
}

enum class Outcome { carried, garbled, leftOut };

Outcome readBack(const Record& record, std::vector<std::optional<std::string>>* reads = nullptr) {
    const IptcCharacterSet set = IptcCharacterSet::of("", record.stored);
    Outcome outcome = Outcome::carried;
    for (std::size_t i = 0; i < record.stored.size(); ++i) {
        const auto read = set.utf8(record.stored[i]);
        if (reads) reads->push_back(read);
        if (!read && outcome == Outcome::carried) outcome = Outcome::leftOut;
        if (read && *read != UnicodeText::nfc(record.texts[i])) outcome = Outcome::garbled;
    }
    return outcome;
}

std::string joinedTexts(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts)
        all += (all.empty() ? "" : " | ") + text;
    return all;
}

void BM_ReadUndeclared(benchmark::State& state, std::size_t index) {
    const Corpus& corpus = corpora().at(index);
    for (auto _ : state)
        for (const Record& record : corpus.records)
            benchmark::DoNotOptimize(IptcCharacterSet::of("", record.stored).name());
    std::array<std::size_t, 3> counts{};
    // Each record is written once, however often the benchmark runs.
    static std::vector<bool> dumped(corpora().size());
    const char* dump = dumped[index] ? nullptr : std::getenv("SORVIN_IPTC_CORPUS_DUMP");
    dumped[index] = true;
    std::ofstream out;
    if (dump) out.open(dump, std::ios::app);
    for (const Record& record : corpus.records) {
        std::vector<std::optional<std::string>> reads;
        const Outcome outcome = readBack(record, &reads);
        ++counts[static_cast<std::size_t>(outcome)];
        if (!dump) continue;
        std::vector<std::string> shown;
        for (const auto& read : reads)
            shown.push_back(read ? *read : "-");
        out << corpus.label << '\t'
            << (outcome == Outcome::carried   ? "carried"
                : outcome == Outcome::garbled ? "garbled"
                                              : "left out")
            << '\t' << IptcCharacterSet::of("", record.stored).name() << '\t' << joinedTexts(record.texts)
            << '\t' << joinedTexts(shown) << '\n';
    }
    state.counters["records"] = static_cast<double>(corpus.records.size());
    state.counters["carried"] = static_cast<double>(counts[0]);
    state.counters["garbled"] = static_cast<double>(counts[1]);
    state.counters["left_out"] = static_cast<double>(counts[2]);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.records.size()));
}

// The same records read in the set they are in, as when the record declares it.
void BM_BaselineReadDeclared(benchmark::State& state, std::size_t index) {
    const Corpus& corpus = corpora().at(index);
    for (auto _ : state)
        for (const Record& record : corpus.records)
            for (const std::string& text : record.stored) {
                UErrorCode status = U_ZERO_ERROR;
                std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(corpus.set, &status),
                                                                             ucnv_close);
                benchmark::DoNotOptimize(icu::UnicodeString(text.data(), static_cast<int32_t>(text.size()),
                                                            converter.get(), status));
            }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.records.size()));
}

const bool registered = [] {
    for (std::size_t i = 0; i < corpora().size(); ++i) {
        benchmark::RegisterBenchmark(("BM_ReadUndeclared/" + corpora()[i].label).c_str(), BM_ReadUndeclared,
                                     i)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_BaselineReadDeclared/" + corpora()[i].label).c_str(),
                                     BM_BaselineReadDeclared, i)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
} // namespace sorvin
