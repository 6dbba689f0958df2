#include "platform/exif_writer.hpp"
#include "platform/jpeg_encoder.hpp"
#include "platform/srgb_profile.hpp"
#include "support/test_images.hpp"
#include "support/test_support.hpp"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <turbojpeg.h>

namespace sorvin {
namespace {

using test::quadrants;

long valueOf(const Exiv2::ExifData& data, const char* key) {
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? -1 : it->toLong();
}

TEST(JpegEncoderTest, EncodesTheSizePixelsExifAndProfile) {
    const auto image = quadrants(96, 64);
    const std::string exif =
        ExifWriter::forRenderedImage(test::sample("jpeg/canon_6d_adobergb_gps_lens.jpg"), 96, 64, "Sorvin").exif;
    const auto bytes = JpegEncoder::encode(*image, 95, exif, SrgbProfile::iccBytes());
    ASSERT_TRUE(bytes);

    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes->data());
    ASSERT_EQ(tjDecompressHeader3(decoder, data, bytes->size(), &width, &height, &subsampling, &colorspace),
              0);
    EXPECT_EQ(width, 96);
    EXPECT_EQ(height, 64);
    std::vector<unsigned char> rgb(96 * 64 * 3);
    ASSERT_EQ(tjDecompress2(decoder, data, bytes->size(), rgb.data(), 96, 0, 64, TJPF_RGB, 0), 0);
    tjDestroy(decoder);
    const unsigned char* topLeft = &rgb[(10 * 96 + 10) * 3];
    const unsigned char* bottomRight = &rgb[(50 * 96 + 80) * 3];
    EXPECT_NEAR(topLeft[0], 20, 6);
    EXPECT_NEAR(topLeft[1], 30, 6);
    EXPECT_NEAR(bottomRight[0], 230, 6);
    EXPECT_NEAR(bottomRight[2], 40, 6);

    auto parsed =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes->data()), bytes->size());
    parsed->readMetadata();
    EXPECT_EQ(valueOf(parsed->exifData(), "Exif.Photo.PixelXDimension"), 96);
    EXPECT_NE(parsed->iccProfile()->size_, 0);
}

TEST(JpegEncoderTest, OversizedExifIsLeftOutRatherThanBreakingTheFile) {
    const auto bytes = JpegEncoder::encode(*quadrants(16, 16), 90, std::string(70000, 'x'), "");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->find("Exif"), std::string::npos);
}

} // namespace
} // namespace sorvin
