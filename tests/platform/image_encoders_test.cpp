#include "platform/image_encoders.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

namespace sorvin {
namespace {

// A gradient with a translucent and a transparent corner when asked.
Image sampleImage(int width, int height, bool translucent) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            p[2] = 77;
            p[3] = 255;
        }
    }
    if (translucent) {
        std::uint8_t* half = buffer.row(0);
        half[0] = 100, half[1] = 50, half[2] = 0, half[3] = 128; // premultiplied
        std::uint8_t* clear = buffer.row(height - 1) + 4 * (width - 1);
        clear[0] = clear[1] = clear[2] = clear[3] = 0;
    }
    return Image(std::move(buffer));
}

struct DecodedPng {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> rgba;
};

DecodedPng decodePng(const std::vector<std::uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    DecodedPng decoded{static_cast<int>(image.width),
                       static_cast<int>(image.height),
                       static_cast<int>(PNG_IMAGE_SAMPLE_CHANNELS(image.format)),
                       {}};
    image.format = PNG_FORMAT_RGBA;
    decoded.rgba.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr));
    return decoded;
}

TEST(ImageEncodersTest, PngKeepsOpaquePixelsExactlyAsRgb) {
    const Image image = sampleImage(37, 21, false);
    const DecodedPng decoded = decodePng(ImageEncoders::png(image));
    EXPECT_EQ(decoded.width, 37);
    EXPECT_EQ(decoded.height, 21);
    EXPECT_EQ(decoded.channels, 3);
    ASSERT_EQ(decoded.rgba.size(), image.byteCount());
    EXPECT_TRUE(std::equal(decoded.rgba.begin(), decoded.rgba.end(), image.data()));
}

TEST(ImageEncodersTest, PngStoresTranslucentPixelsWithStraightAlpha) {
    const Image image = sampleImage(8, 4, true);
    const DecodedPng decoded = decodePng(ImageEncoders::png(image));
    EXPECT_EQ(decoded.channels, 4);
    EXPECT_EQ(decoded.rgba[0], 199); // 100 * 255 / 128, rounded
    EXPECT_EQ(decoded.rgba[1], 100);
    EXPECT_EQ(decoded.rgba[3], 128);
    EXPECT_EQ(decoded.rgba[decoded.rgba.size() - 1], 0);
}

TEST(ImageEncodersTest, TiffIsAnUncompressedFileOfTheSamePixels) {
    for (const bool translucent : {false, true}) {
        const Image image = sampleImage(300, 200, translucent);
        const std::vector<std::uint8_t> bytes = ImageEncoders::tiff(image);
        test::TemporaryFolder folder;
        const auto path = folder / "copy.tiff";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        ASSERT_TRUE(tiff);
        std::uint32_t width = 0, height = 0;
        std::uint16_t samples = 0, compression = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
        EXPECT_EQ(width, 300u);
        EXPECT_EQ(height, 200u);
        EXPECT_EQ(samples, translucent ? 4 : 3);
        EXPECT_EQ(compression, COMPRESSION_NONE);
        std::vector<std::uint8_t> row(TIFFScanlineSize(tiff));
        ASSERT_EQ(TIFFReadScanline(tiff, row.data(), 199, 0), 1);
        // The last row's first pixel: red 0, green 255, blue 77.
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[1], 255);
        EXPECT_EQ(row[2], 77);
        ASSERT_EQ(TIFFReadScanline(tiff, row.data(), 0, 0), 1);
        if (translucent) {
            // Associated alpha: the premultiplied values as they are.
            EXPECT_EQ(row[0], 100);
            EXPECT_EQ(row[3], 128);
        }
        TIFFClose(tiff);
    }
}

} // namespace
} // namespace sorvin
