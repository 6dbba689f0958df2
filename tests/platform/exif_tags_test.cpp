#include "platform/exif_block.hpp"
#include "platform/exif_tags.hpp"
#include "support/test_support.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(ExifTagsTest, ReadsNumbersAndTextsOfAFile) {
    const ExifTags tags = ExifTags::fromFile(test::sample("jpeg/canon_6d_adobergb_gps_lens.jpg"));
    EXPECT_EQ(tags.text("Exif.Image.Model"), "Canon EOS 6D");
    ASSERT_TRUE(tags.number("Exif.Photo.ExposureTime"));
    EXPECT_DOUBLE_EQ(*tags.number("Exif.Photo.ExposureTime"), 1.0 / 640);
    EXPECT_EQ(tags.integer("Exif.Photo.FNumber"), 10);
    EXPECT_EQ(tags.pixelWidth(), 497);
    EXPECT_EQ(tags.pixelHeight(), 331);
    // A text tag asked for as a number, and the other way round, is absent.
    EXPECT_EQ(tags.number("Exif.Image.Model"), std::nullopt);
    EXPECT_EQ(tags.text("Exif.Photo.FNumber"), std::nullopt);
    EXPECT_EQ(tags.text("Exif.Photo.NoSuchTag"), std::nullopt);
}

TEST(ExifTagsTest, KeepsOnlyTheKeysAskedFor) {
    constexpr std::string_view keys[] = {"Exif.Image.Make"};
    const ExifTags tags = ExifTags::fromFile(test::sample("jpeg/canon_6d_adobergb_gps_lens.jpg"), keys);
    EXPECT_EQ(tags.text("Exif.Image.Make"), "Canon");
    EXPECT_EQ(tags.text("Exif.Image.Model"), std::nullopt);
}

TEST(ExifTagsTest, DamagedInputGivesNothing) {
    EXPECT_TRUE(ExifTags::fromFile(test::sample("corrupt/corrupt_header.jpg")).empty());
    EXPECT_TRUE(ExifTags::fromFile(test::sample("corrupt/no_such_file.jpg")).empty());
    const std::vector<std::uint8_t> junk(64, 0xAB);
    EXPECT_TRUE(ExifTags::fromTiffBlock(junk).empty());
    // A TIFF header whose first directory lies far beyond the block.
    const std::vector<std::uint8_t> pointsOutside{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0};
    EXPECT_TRUE(ExifTags::fromTiffBlock(pointsOutside).empty());
}

TEST(ExifBlockTest, HeifItemPayloadFollowsItsOffsetWithinTheItem) {
    std::vector<std::uint8_t> item{0, 0, 0, 6, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    const auto payload = ExifBlock::heifItemPayload(item);
    ASSERT_EQ(payload.size(), 4u);
    EXPECT_EQ(payload[0], 'M');
    item[3] = 200;
    EXPECT_TRUE(ExifBlock::heifItemPayload(item).empty());
    item[0] = 0xFF;
    EXPECT_TRUE(ExifBlock::heifItemPayload(item).empty());
    EXPECT_TRUE(ExifBlock::heifItemPayload(std::span<const std::uint8_t>(item.data(), 5)).empty());
}

} // namespace
} // namespace sorvin
