#include "platform/iptc_character_set.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unicode/ucnv.h>
#include <vector>

namespace sorvin {
namespace {

// A UTF-8 text in another character set, as an older writer stored it.
std::string encoded(const char* set, const std::string& utf8) {
    UErrorCode status = U_ZERO_ERROR;
    std::string bytes(utf8.size() * 4 + 8, '\0');
    const int32_t length = ucnv_convert(set, "UTF-8", bytes.data(), static_cast<int32_t>(bytes.size()),
                                        utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << set;
    bytes.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return bytes;
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
        // Too little text to tell: ICU gives 「富士山の夕景」 10 of 100 and takes 「風景」 for
        // Windows-1252 ("•—Œi"); their ASCII neighbours still go.
        {"short Shift_JIS", "", {encoded("Shift_JIS", "富士山の夕景"), "Fuji"}, {std::nullopt, "Fuji"}},
        {"short Shift_JIS taken for Western", "", {encoded("Shift_JIS", "風景")}, {std::nullopt}},
        {"Turkish taken for Latin-1", "", {encoded("ISO-8859-9", "Şişli")}, {std::nullopt}},
        {"EUC-JP that is well-formed UTF-8", "", {encoded("EUC-JP", "猫")}, {std::nullopt}},
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

} // namespace
} // namespace sorvin
