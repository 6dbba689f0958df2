#include "platform/unicode_text.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(UnicodeText, NfcMakesTwoSpellingsOfOneNameOneText) {
    const std::string decomposed = "Cafe\xCC\x81/IMG.JPG"; // e + combining acute
    const std::string composed = "Caf\xC3\xA9/IMG.JPG";
    EXPECT_EQ(UnicodeText::nfc(decomposed), composed);
    EXPECT_EQ(UnicodeText::nfc(composed), composed);
    EXPECT_EQ(UnicodeText::nfc("plain/ascii.jpg"), "plain/ascii.jpg");
    EXPECT_EQ(UnicodeText::nfc("\xE5\x86\x99\xE7\x9C\x9F.jpg"), "\xE5\x86\x99\xE7\x9C\x9F.jpg"); // 写真.jpg
    EXPECT_EQ(UnicodeText::nfc("\xE3\x81\x8B\xE3\x82\x99.jpg"), "\xE3\x81\x8C.jpg"); // か + ゛ -> が
}

TEST(UnicodeText, NfcRefusesIllFormedUtf8) {
    for (const char* bad : {"\xFF.jpg", "a\xC3.jpg", "\xC0\xAF.jpg" /* overlong "/" */,
                            "\xED\xA0\x80.jpg" /* surrogate */, "\x80"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(UnicodeText::nfc(bad).has_value());
    }
}

TEST(UnicodeText, LowercasesWithTheDefaultMapping) {
    EXPECT_EQ(UnicodeText::lowercased("IMG_0001"), "img_0001");
    EXPECT_EQ(UnicodeText::lowercased("\xC3\x84PFEL"), "\xC3\xA4pfel"); // ÄPFEL
    // No Turkish rule: capital I maps to plain i even beside non-ASCII letters.
    EXPECT_EQ(UnicodeText::lowercased("\xC3\x96I"), "\xC3\xB6i");
}

TEST(UnicodeText, UppercasesWithTheDefaultMapping) {
    EXPECT_EQ(UnicodeText::uppercased("img_0001.jpeg"), "IMG_0001.JPEG");
    // No Turkish rule either way, and the sharp s widens to two letters.
    EXPECT_EQ(UnicodeText::uppercased("\xC3\xB6i"), "\xC3\x96I");
    EXPECT_EQ(UnicodeText::uppercased("stra\xC3\x9F" "e"), "STRASSE");
    // Ill-formed text comes back as it was.
    EXPECT_EQ(UnicodeText::uppercased("a\x80"), "a\x80");
}

} // namespace
} // namespace sorvin
