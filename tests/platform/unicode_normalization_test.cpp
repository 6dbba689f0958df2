#include "platform/unicode_normalization.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(UnicodeNormalization, DecomposedNamesComposeAndOthersStay) {
    EXPECT_EQ(UnicodeNormalization::nfc("\xe3\x81\x8b\xe3\x82\x99.jpg"), "\xe3\x81\x8c.jpg"); // か + ゙ -> が
    EXPECT_EQ(UnicodeNormalization::nfc("Cafe\xcc\x81/IMG.JPG"), "Caf\xc3\xa9/IMG.JPG");
    EXPECT_EQ(UnicodeNormalization::nfc("trip/日本/写真.jpg"), "trip/日本/写真.jpg");
    EXPECT_EQ(UnicodeNormalization::nfc("plain.jpg"), "plain.jpg");
    EXPECT_EQ(UnicodeNormalization::nfc("bad\xff\xcc\x81"), "bad\xff\xcc\x81") << "not UTF-8: unchanged";
    EXPECT_EQ(UnicodeNormalization::nfc(""), "");
}

} // namespace
} // namespace sorvin
