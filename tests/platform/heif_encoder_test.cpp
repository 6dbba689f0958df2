#include "platform/exif_writer.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/srgb_profile.hpp"
#include "support/test_images.hpp"
#include "support/test_support.hpp"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <libheif/heif.h>

namespace sorvin {
namespace {

using test::quadrants;

Exiv2::ExifData exifOf(const std::string& tiff) {
    Exiv2::ExifData data;
    Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(tiff.data()),
                              static_cast<std::uint32_t>(tiff.size()));
    return data;
}

[[maybe_unused]] long valueOf(const Exiv2::ExifData& data, const char* key) {
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? -1 : it->toLong();
}

TEST(HeifEncoderTest, EncodesAFileThatDecodesToTheSameSizeWithItsMetadata) {
    if (!HeifEncoder::isAvailable()) GTEST_SKIP() << "no HEVC encoder on this system";
    const std::string exif =
        ExifWriter::forRenderedImage(test::sample("jpeg/nikon_d70s_gps_lens.jpg"), 65, 49, "Sorvin").exif;
    const auto bytes = HeifEncoder::encode(quadrants(65, 49), 90, exif, SrgbProfile::iccBytes());
    ASSERT_TRUE(bytes);

    heif_context* context = heif_context_alloc();
    ASSERT_EQ(heif_context_read_from_memory_without_copy(context, bytes->data(), bytes->size(), nullptr).code,
              heif_error_Ok);
    heif_image_handle* handle = nullptr;
    ASSERT_EQ(heif_context_get_primary_image_handle(context, &handle).code, heif_error_Ok);
    EXPECT_EQ(heif_image_handle_get_width(handle), 65);
    EXPECT_EQ(heif_image_handle_get_height(handle), 49);
    EXPECT_EQ(heif_image_handle_get_number_of_metadata_blocks(handle, "Exif"), 1);
    EXPECT_EQ(heif_image_handle_get_color_profile_type(handle), heif_color_profile_type_prof);
    heif_item_id exifId = 0;
    ASSERT_EQ(heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &exifId, 1), 1);
    std::string block(heif_image_handle_get_metadata_size(handle, exifId), '\0');
    ASSERT_EQ(heif_image_handle_get_metadata(handle, exifId, block.data()).code, heif_error_Ok);
    ASSERT_GT(block.size(), 8u);
    EXPECT_EQ(block.substr(0, 4), std::string(4, '\0')); // offset of the TIFF header
    EXPECT_EQ(exifOf(block.substr(4)).findKey(Exiv2::ExifKey("Exif.Photo.PixelYDimension"))->toLong(), 49);
    heif_image* decoded = nullptr;
    ASSERT_EQ(
        heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code,
        heif_error_Ok);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    // Every quadrant keeps its colour, channel by channel, odd last row and column included.
    const auto original = quadrants(65, 49);
    for (const auto& [x, y] : {std::pair{10, 10}, std::pair{50, 12}, std::pair{12, 40}, std::pair{64, 48}}) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(plane[y * stride + x * 3 + c], original->row(y)[4 * x + c], 4)
                << x << "," << y << " " << c;
    }
    heif_image_release(decoded);
    heif_image_handle_release(handle);
    heif_context_free(context);
}

} // namespace
} // namespace sorvin
