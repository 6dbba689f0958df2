#include "platform/iptc_character_set.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <utility>
#include <vector>

namespace sorvin {
namespace {

// A UTF-8 text in another character set, as an older writer stored it; nothing when the set cannot
// hold each of its characters.
std::optional<std::string> storedIn(const char* set, const std::string& utf8) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open(set, &status), ucnv_close);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
    std::string bytes(static_cast<std::size_t>(text.length()) * 4 + 8, '\0');
    const int32_t length = text.extract(bytes.data(), static_cast<int32_t>(bytes.size()), converter.get(), status);
    if (U_FAILURE(status)) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

std::string encoded(const char* set, const std::string& utf8) {
    const auto bytes = storedIn(set, utf8);
    EXPECT_TRUE(bytes) << set << " " << utf8;
    return bytes.value_or("");
}

using Reading = std::optional<std::string>;

struct Record {
    const char* label;
    std::string declaration;
    std::vector<std::string> texts;
    std::vector<Reading> readings; // one for each text; nothing: left out
};

// Each record's texts are read in the set it declares, or, without a declaration, in the set that
// can be told from all its texts; what cannot be read for sure is left out, never garbled.
TEST(IptcCharacterSetTest, TextsAreReadInTheirRecordsSetOrLeftOut) {
    const std::string longCaption = "東京タワーと夕焼けの空、冬の晴れた日";
    const std::vector<Record> records{
        // Without a declaration, a record's texts together tell its set: the short keyword is read
        // with the caption's evidence.
        {"Shift_JIS",
         "",
         {encoded("Shift_JIS", longCaption), encoded("Shift_JIS", "東京"), "Tokyo"},
         {longCaption, "東京", "Tokyo"}},
        {"EUC-JP",
         "",
         {encoded("EUC-JP", "白川郷の合掌造り集落、冬のライトアップ"), encoded("EUC-JP", "雪")},
         {"白川郷の合掌造り集落、冬のライトアップ", "雪"}},
        {"Latin-1",
         "",
         {encoded("ISO-8859-1", "Straße in München bei Nacht"), encoded("ISO-8859-1", "Köln")},
         {"Straße in München bei Nacht", "Köln"}},
        {"UTF-8", "", {"富士山の夕景", "Café"}, {"富士山の夕景", "Café"}},
        // ICU gives 「富士山の夕景」 10 of 100 and takes 「風景」 for Windows-1252 ("•—Œi").
        {"short Shift_JIS", "", {encoded("Shift_JIS", "富士山の夕景"), "Fuji"}, {"富士山の夕景", "Fuji"}},
        {"short Shift_JIS taken for Western", "", {encoded("Shift_JIS", "風景")}, {"風景"}},
        {"Turkish taken for Latin-1", "", {encoded("ISO-8859-9", "Şişli")}, {std::nullopt}},
        {"Latin-1 with a sign",
         "",
         {encoded("ISO-8859-1", "© Jürgen Müller, Köln")},
         {"© Jürgen Müller, Köln"}},
        {"Big5 taken for Latin-1", "", {encoded("Big5", "世界文")}, {std::nullopt}},
        {"EUC-JP that is well-formed UTF-8", "", {encoded("EUC-JP", "猫")}, {std::nullopt}},
        // Every byte of this EUC-JP caption is also a half-width katakana in Shift_JIS
        // (「ﾉﾙｻﾎｻｳ､ﾎﾍｼｷﾊ」); a second text of the record tells.
        {"EUC-JP that is half-width katakana", "", {encoded("EUC-JP", "富士山の夕景")}, {std::nullopt}},
        {"EUC-JP told by its record",
         "",
         {encoded("EUC-JP", "富士山の夕景"), encoded("EUC-JP", "雪だるま")},
         {"富士山の夕景", "雪だるま"}},
        {"invalid bytes",
         "",
         {"\xff\xfe\x80\x81\x82", "plain",
          "a\x01"
          "b"},
         {std::nullopt, "plain", std::nullopt}},
        // A declared set is followed; a text it does not allow is left out, not guessed.
        {"declared UTF-8", "\x1b%G", {"Jos\xc3\xa9", "\xa9 Jos\xe9"}, {"José", std::nullopt}},
        {"declared Latin-1", "\x1b(B\x1b-A", {"\xa9 Jos\xe9", "\x95x"}, {"© José", std::nullopt}},
        {"declared EUC-JP", "\x1b$)B", {encoded("EUC-JP", "京都")}, {"京都"}},
        {"declared ISO-2022-JP", "\x1b$B", {"\x3b\x33\x45\x44", "\x1b(B"}, {"山田", std::nullopt}},
        // A declaration that is not understood counts as none.
        {"unknown declaration", "\x1b$)Z", {encoded("Shift_JIS", longCaption)}, {longCaption}},
    };
    for (const Record& record : records) {
        SCOPED_TRACE(record.label);
        const IptcCharacterSet set = IptcCharacterSet::of(record.declaration, record.texts);
        for (std::size_t i = 0; i < record.texts.size(); ++i)
            EXPECT_EQ(set.utf8(record.texts[i]), record.readings[i]) << "text " << i << " in " << set.name();
    }
}

// Captions, by-lines and cities as Japanese writers store them without a declaration: each is read
// alone, whatever its length and however many texts the record holds.
TEST(IptcCharacterSetTest, UndeclaredJapaneseIsReadWhateverItsLength) {
    const std::vector<std::string> shiftJis{"夕日",
                                            "富士山",
                                            "山田太郎",
                                            "東京タワー",
                                            "富士山の夕景",
                                            "北海道・美瑛の丘",
                                            "京都の秋、嵐山の紅葉",
                                            "桜並木と川沿いの遊歩道",
                                            "冬の朝、凍った湖に映る富士山",
                                            "雪の金閣寺と池に映る青空の午後"};
    // EUC-JP's two-byte characters are also Chinese and Korean ones: its texts need a kana, and a
    // text of a few characters is Big5 or Thai as well (see the hard cases below).
    const std::vector<std::string> eucJapanese{"お茶の水の駅前",
                                               "静かな湖の朝",
                                               "東京タワー",
                                               "湖に映る富士山",
                                               "猫のいる路地",
                                               "白川郷の合掌造り",
                                               "冬の朝、凍った湖",
                                               "桜並木と川沿いの遊歩道",
                                               "夏祭りの夜店と提灯の灯り",
                                               "雪の金閣寺と池に映る青空の午後"};
    for (const auto& [set, captions] : {std::pair{"Shift_JIS", shiftJis}, std::pair{"EUC-JP", eucJapanese}})
        for (const std::string& caption : captions) {
            SCOPED_TRACE(std::string(set) + " " + caption);
            const std::vector<std::string> texts{encoded(set, caption)};
            EXPECT_EQ(IptcCharacterSet::of("", texts).utf8(texts[0]), caption);
        }

    // A caption, a by-line and a city repeated: the reading does not change with their number.
    const std::vector<std::string> record{"夕暮れの海", "田中一郎", "江ノ島"};
    for (const char* set : {"Shift_JIS", "EUC-JP"})
        for (std::size_t count = 1; count <= 12; ++count) {
            SCOPED_TRACE(std::string(set) + " " + std::to_string(count) + " texts");
            std::vector<std::string> texts;
            for (std::size_t i = 0; i < count; ++i)
                texts.push_back(encoded(set, record[i % record.size()]));
            const IptcCharacterSet characterSet = IptcCharacterSet::of("", texts);
            for (std::size_t i = 0; i < count; ++i)
                EXPECT_EQ(characterSet.utf8(texts[i]), record[i % record.size()]);
        }
}

// Bytes that Shift_JIS or EUC-JP would take as kanji but that a writer of Japanese did not make:
// Western names (「François」 is 「Fran輟is」 in Shift_JIS, 「Þýskaland」 「漲skaland」 in EUC-JP),
// half-width katakana whose pairs are also EUC-JP kanji, Korean, Chinese and Russian, and bytes
// neither set allows. They are left out or read in their own set, never as Japanese.
TEST(IptcCharacterSetTest, WhatIsNotJapaneseIsNotReadAsJapanese) {
    struct Text {
        const char* set;
        std::string utf8;
    };
    const std::vector<Text> names{
        {"ISO-8859-1", "François"},   {"ISO-8859-1", "Renée"},
        {"ISO-8859-1", "Hämäläinen"}, {"ISO-8859-1", "Þýskaland"},
        {"ISO-8859-1", "Müßig"},      {"ISO-8859-1", "Gaëlle Durand"},
        {"ISO-8859-1", "Ångström"},   {"ISO-8859-1", "José García"},
        {"windows-1252", "Smith’s"},  {"windows-1252", "Sacré-Cœur"},
        {"Shift_JIS", "ｶﾒﾗｰ"},        {"Shift_JIS", "ｱｲｽﾗﾝﾄﾞ･ｸﾛｰﾅ"},
        {"EUC-KR", "서울의 밤"},      {"GB2312", "北京"},
        {"Big5", "丹麥文"},           {"Big5", "中文"},
        {"windows-1251", "Москва"},
    };
    for (const Text& name : names) {
        SCOPED_TRACE(std::string(name.set) + " " + name.utf8);
        const std::vector<std::string> texts{encoded(name.set, name.utf8)};
        const Reading read = IptcCharacterSet::of("", texts).utf8(texts[0]);
        EXPECT_TRUE(!read || *read == name.utf8) << *read;
    }
    const std::vector<std::string> invalid{
        "\x93\x8c\x8b",         // 「東」 and a lead byte without its second byte
        "\x82\xa0\xf0\x40",     // 「あ」 and a user-defined character
        "\xa4\xa2\xa4",         // 「あ」 and half of another
        "\x82\xa0\x80\x82\xa2", // 「あい」 around a byte neither set has
        "\xa4\xa2\xfe\xff",     // 「あ」 in EUC-JP and bytes neither set has
    };
    for (const std::string& bytes : invalid) {
        const std::vector<std::string> texts{bytes};
        EXPECT_EQ(IptcCharacterSet::of("", texts).utf8(bytes), std::nullopt)
            << ::testing::PrintToString(bytes);
    }
}

// Undeclared texts that other readings of their bytes make hard, each with what comes back: the
// text itself, or nothing where the bytes cannot be told from another set's text. Nothing comes
// back garbled.
TEST(IptcCharacterSetTest, HardUndeclaredTextsAreCarriedOrLeftOutNeverGarbled) {
    enum class Outcome { carried, leftOut, notGarbled };
    struct Case {
        const char* set;
        std::vector<std::string> texts; // a record: caption, by-line, city
        Outcome outcome;
    };
    constexpr Outcome carried = Outcome::carried;
    constexpr Outcome leftOut = Outcome::leftOut;
    const std::vector<Case> cases{
        // Big5's most common characters lie in EUC-JP's rows of kana (「中國」 reads 「い郁」,
        // 「日本」 「らセ」, 「粗心」 「科み」) and its symbols in Latin-1's (「便宜」 reads 「«K©y」).
        {"Big5", {"中國"}, leftOut},
        {"Big5", {"日本"}, leftOut},
        {"Big5", {"日月潭"}, leftOut},
        {"Big5", {"日落"}, leftOut},
        {"Big5", {"粗心"}, leftOut},
        {"Big5", {"便宜"}, leftOut},
        // Thai reads in EUC-JP as kanji with a kana here and there (「มีนาคม」 as 「奏航ち」).
        {"TIS-620", {"ตุลาคม 2014"}, leftOut},
        {"TIS-620", {"คาโก"}, leftOut},
        {"TIS-620", {"อร องคชาต"}, leftOut},
        // Cyrillic reads in Latin-1 as accented letters (「и」 as è or É).
        {"windows-1251", {"Москва"}, leftOut},
        {"windows-1251", {"Acre и Eastern"}, leftOut},
        {"KOI8-R", {"Acre и Eastern"}, leftOut},
        // GBK as UTF-8: 「СС」, 「³」.
        {"GBK", {"小小"}, leftOut},
        {"GBK", {"鲁"}, leftOut},
        // EUC-JP's half-width katakana are Shift_JIS kanji of row 0x8E (「芝爵疾爵漆」).
        {"EUC-JP", {"ﾅﾝｾﾝｽ"}, leftOut},
        {"EUC-JP", {"ｰ"}, leftOut},
        // Well-formed UTF-8 too: EUC-JP 「谷村」 as 「ë¼」, Shift_JIS 「缺格」 as 「㞊i」, 「鬧天」 as
        // 「駓V」.
        {"EUC-JP", {"Photo: 谷村"}, leftOut},
        {"Shift_JIS", {"缺格"}, carried},
        {"Shift_JIS", {"Photo: 谷村"}, carried},
        {"Shift_JIS", {"鬧天"}, leftOut},
        // Shift_JIS read as Western words (「白金」 as 「”’‹à」) or with signs of its own.
        {"Shift_JIS", {"白金"}, carried},
        {"Shift_JIS", {"コタ"}, carried},
        {"Shift_JIS", {"iPhoneで撮影", "山田太郎", "京都"}, carried},
        {"Shift_JIS", {"結婚にプラスα"}, carried},
        // Western words that read as Shift_JIS kanji inside a word (「Sant脱lena」) or beside one.
        {"windows-1252", {"Sant’Elena"}, Outcome::notGarbled},
        {"windows-1252", {"Smith’s"}, Outcome::notGarbled},
        // Western captions with a standalone à or a spaced dash, and with their by-line and city.
        {"windows-1252", {"Coucher de soleil à Montréal – été 2019"}, carried},
        {"windows-1252", {"Blick über die Altstadt", "Foto: Jürgen Müller", "München"}, carried},
        {"windows-1252", {"¿Dónde está el Museo del Prado?"}, carried},
        // Western signs where Western texts put them.
        {"windows-1252", {"¡Qué bonita es la Alhambra de Granada!"}, carried},
        {"windows-1252", {"Il 1º maggio in piazza del Duomo, più di mille persone"}, carried},
        {"windows-1252", {"Temperatura de 20 °C en la playa de San Sebastián"}, carried},
        {"windows-1252", {"Sant’Angelo e la chiesa di San Niccolò"}, carried},
        {"windows-1252", {"Plaça de la Catedral i l’Hospital de la Santa Creu a Barcelona"}, carried},
        {"windows-1252", {"© Jürgen Müller – Straßenfest in München"}, carried},
        // Each byte beyond ASCII alone among Latin letters, whatever ICU's detector makes of them
        // (「Carnevale a Cantù」 is ISO-8859-2 to it, 98 of 100), and Shift_JIS kanji of such a
        // byte and the letter after it (「Crème」 as 「Cr鞫e」).
        {"windows-1252", {"Été — plage"}, carried},
        {"windows-1252", {"Señora García"}, carried},
        {"windows-1252", {"Crème brûlée à Lyon"}, carried},
        {"windows-1252", {"Piazza San Marco – Venezia"}, carried},
        {"windows-1252", {"Carnevale a Cantù"}, carried},
        {"windows-1252", {"È arrivata la primavera"}, carried},
        {"windows-1252", {"la vita è bella"}, carried},
        {"windows-1252", {"Fromagerie à Lyon"}, carried},
        {"windows-1252", {"L’Été indien", "Schöne Grüße aus dem Urlaub"}, carried},
        // What stands alone among Latin letters as well but is not Western: Russian's и between
        // Latin words, Shift_JIS and Big5 kanji whose second bytes are letters.
        {"windows-1251", {"kiu и lmo"}, leftOut},
        {"Shift_JIS", {"膳棚山"}, leftOut},
        {"Big5", {"Continental 險灘"}, leftOut},
        {"Big5", {"mdh和螽"}, leftOut},
        // Turkish, Polish and Czech letters that Latin-1 has elsewhere.
        {"ISO-8859-9", {"Taşkent"}, leftOut},
        {"ISO-8859-2", {"estoński"}, leftOut},
        {"ISO-8859-2", {"Kučing"}, leftOut},
        {"ISO-8859-2", {"Węgry"}, leftOut},
        {"ISO-8859-2", {"Maďarsko"}, leftOut},
        {"ISO-8859-2", {"Lublaň"}, leftOut},
        {"ISO-8859-2", {"angličtina"}, leftOut},
        {"ISO-8859-2", {"jazyků"}, leftOut},
        {"ISO-8859-2", {"Záhřeb"}, leftOut},
        {"windows-1250", {"Święto w mieście"}, leftOut},
        // UTF-8 of other alphabets and with a modifier letter.
        {"UTF-8", {"Москва"}, carried},
        {"UTF-8", {"กรุงเทพ"}, carried},
        {"UTF-8", {"Łódź"}, carried},
        {"UTF-8", {"metaʼ"}, carried},
    };
    for (const Case& c : cases) {
        std::vector<std::string> stored;
        for (const std::string& text : c.texts)
            stored.push_back(encoded(c.set, text));
        const IptcCharacterSet set = IptcCharacterSet::of("", stored);
        for (std::size_t i = 0; i < stored.size(); ++i) {
            SCOPED_TRACE(std::string(c.set) + " " + c.texts[i]);
            const Reading read = set.utf8(stored[i]);
            if (c.outcome == Outcome::notGarbled)
                EXPECT_TRUE(!read || *read == c.texts[i]) << *read;
            else
                EXPECT_EQ(read, c.outcome == carried ? Reading(c.texts[i]) : std::nullopt)
                    << "read in " << set.name();
        }
    }
}

// The captions of tests/data/iptc_captions.tsv, each alone in a record without a declaration, in the
// sets older writers stored their language in. Western captions in Windows-1252 are carried, nine
// of ten at least; no caption of any set comes back as another text (Japanese as Latin letters,
// Western, Central European or Cyrillic text as kanji or as other Latin letters).
TEST(IptcCharacterSetTest, CaptionsOfEachSetAreCarriedAndNeverGarbled) {
    std::map<std::string, std::vector<std::string>> captions;
    std::ifstream file(SORVIN_TEST_DATA_DIR "/iptc_captions.tsv");
    for (std::string line; std::getline(file, line);) {
        const auto tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
        captions[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
    ASSERT_GE(captions["fr"].size(), 80u);

    struct Set {
        const char* language;
        const char* set;
        double carried; // the share carried at least
    };
    const std::vector<Set> sets{
        {"fr", "windows-1252", 0.9}, {"it", "windows-1252", 0.9}, {"es", "windows-1252", 0.9},
        {"de", "windows-1252", 0.9}, {"fr", "UTF-8", 0.9},        {"it", "UTF-8", 0.9},
        {"es", "UTF-8", 0.9},        {"de", "UTF-8", 0.9},        {"ja", "Shift_JIS", 0.9},
        {"ja", "EUC-JP", 0.6},       {"ja", "UTF-8", 0.9},        {"ja", "ISO-2022-JP", 0},
        {"ru", "windows-1251", 0},   {"ru", "KOI8-R", 0},         {"pl", "ISO-8859-2", 0},
        {"pl", "windows-1250", 0},   {"cs", "ISO-8859-2", 0},     {"cs", "windows-1250", 0},
        {"tr", "ISO-8859-9", 0},     {"zh", "Big5", 0},           {"zh", "GBK", 0},
        {"ko", "EUC-KR", 0},         {"el", "ISO-8859-7", 0},
    };
    for (const Set& set : sets) {
        SCOPED_TRACE(std::string(set.language) + " in " + set.set);
        std::size_t stored = 0;
        std::size_t carried = 0;
        for (const std::string& caption : captions[set.language]) {
            const auto bytes = storedIn(set.set, caption);
            if (!bytes) continue;
            ++stored;
            const std::vector<std::string> texts{*bytes};
            const Reading read = IptcCharacterSet::of("", texts).utf8(*bytes);
            carried += read == caption ? 1 : 0;
            EXPECT_TRUE(!read || *read == caption) << caption << " read as " << *read;
        }
        ASSERT_GT(stored, 0u);
        EXPECT_GE(static_cast<double>(carried), set.carried * static_cast<double>(stored))
            << carried << " of " << stored << " carried";
    }
}

} // namespace
} // namespace sorvin
