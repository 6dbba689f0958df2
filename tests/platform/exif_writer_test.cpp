#include "platform/exif_writer.hpp"
#include "support/test_support.hpp"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

Exiv2::ExifData exifOf(const std::string& tiff) {
    Exiv2::ExifData data;
    Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(tiff.data()),
                              static_cast<std::uint32_t>(tiff.size()));
    return data;
}

long valueOf(const Exiv2::ExifData& data, const char* key) {
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? -1 : it->toLong();
}

TEST(ExifWriterTest, ReencodedMetadataKeepsTheCameraAndDescribesTheNewPixels) {
    const std::string tiff =
        ExifWriter::forRenderedImage(test::sample("jpeg/nikon_d40_orient6.jpg"), 2000, 3008, "Sorvin 1.2").exif;
    ASSERT_FALSE(tiff.empty());
    const auto data = exifOf(tiff);
    EXPECT_EQ(valueOf(data, "Exif.Image.Orientation"), 1);
    EXPECT_EQ(valueOf(data, "Exif.Photo.PixelXDimension"), 2000);
    EXPECT_EQ(valueOf(data, "Exif.Photo.PixelYDimension"), 3008);
    EXPECT_EQ(valueOf(data, "Exif.Photo.ColorSpace"), 1);
    EXPECT_EQ(data.findKey(Exiv2::ExifKey("Exif.Image.Software"))->toString(), "Sorvin 1.2");
    EXPECT_NE(data.findKey(Exiv2::ExifKey("Exif.Image.Model"))->toString().find("D40"), std::string::npos);
    EXPECT_NE(data.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")), data.end());
    EXPECT_EQ(data.findKey(Exiv2::ExifKey("Exif.Thumbnail.JPEGInterchangeFormat")), data.end());
    EXPECT_NE(data.findKey(Exiv2::ExifKey("Exif.Nikon3.ISOSpeed")), data.end()) << "the maker note comes along";
}

TEST(ExifWriterTest, SourcesWithoutUsableExifStillGetTheNewValues) {
    for (const char* name : {"jpeg/cmyk_no_profile.jpg", "corrupt/corrupt_header.jpg",
                             "raw/blackmagic_pocket4k.dng", "does/not/exist.jpg"}) {
        const auto data = exifOf(ExifWriter::forRenderedImage(test::sample(name), 64, 48, "Sorvin").exif);
        EXPECT_EQ(valueOf(data, "Exif.Image.Orientation"), 1) << name;
        EXPECT_EQ(valueOf(data, "Exif.Photo.PixelXDimension"), 64) << name;
        EXPECT_EQ(data.findKey(Exiv2::ExifKey("Exif.Image.StripOffsets")), data.end()) << name;
    }
}

} // namespace
} // namespace sorvin
