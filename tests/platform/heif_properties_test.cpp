#include "platform/image_properties.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <string>

namespace sorvin {
namespace {

std::string be32(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string be16(std::uint16_t v) {
    return {char(v >> 8), char(v)};
}
std::string box(const char* type, const std::string& payload) {
    return be32(8 + payload.size()) + type + payload;
}
std::string fullBox(const char* type, std::uint8_t version, const std::string& payload) {
    return box(type, std::string{char(version), 0, 0, 0} + payload);
}

// An EXIF block as HEIF stores it: the offset of the TIFF header, "Exif\0\0", then big-endian TIFF
// with DateTimeOriginal in the EXIF IFD.
std::string exifItem(const std::string& date) {
    std::string tiff = "MM" + be16(42) + be32(8);
    tiff += be16(1) + be16(0x8769) + be16(4) + be32(1) + be32(26) + be32(0);
    tiff += be16(1) + be16(0x9003) + be16(2) + be32(static_cast<std::uint32_t>(date.size() + 1)) + be32(44) +
            be32(0);
    tiff += date + '\0';
    return be32(6) + std::string("Exif\0\0", 6) + tiff;
}

struct HeifLayout {
    std::uint32_t width = 4000, height = 3000;
    std::string transforms; // property boxes after ispe, associated in this order
    int transformCount = 0;
    std::uint32_t exifOffsetShift = 0; // moves the EXIF extent, to point it outside the file
};

// A small HEIF file: one coded image item (its data are not real) and an EXIF item that
// describes it.
std::string heif(const HeifLayout& layout) {
    const std::string ftyp = box("ftyp", std::string("heic") + be32(0) + "mif1heic");
    const std::string imageData(64, '\x55');
    const std::string exif = exifItem("2021:03:04 05:06:07");
    const std::string mdat = box("mdat", imageData + exif);
    const std::uint32_t imageAt = static_cast<std::uint32_t>(ftyp.size() + 8);
    const std::uint32_t exifAt =
        imageAt + static_cast<std::uint32_t>(imageData.size()) + layout.exifOffsetShift;

    std::string hdlr = fullBox("hdlr", 0, be32(0) + "pict" + std::string(12, '\0') + '\0');
    std::string pitm = fullBox("pitm", 0, be16(1));
    std::string iinf = fullBox("iinf", 0,
                               be16(2) + fullBox("infe", 2, be16(1) + be16(0) + "hvc1" + '\0') +
                                   fullBox("infe", 2, be16(2) + be16(0) + "Exif" + '\0'));
    std::string iloc =
        fullBox("iloc", 0,
                std::string{0x44, 0x00} + be16(2) + be16(1) + be16(0) + be16(1) + be32(imageAt) +
                    be32(static_cast<std::uint32_t>(imageData.size())) + be16(2) + be16(0) + be16(1) +
                    be32(exifAt) + be32(static_cast<std::uint32_t>(exif.size())));
    std::string iref = fullBox("iref", 0, box("cdsc", be16(2) + be16(1) + be16(1)));
    std::string hvcC = box("hvcC", std::string{1} + std::string(21, '\0') + '\0');
    std::string ispe = fullBox("ispe", 0, be32(layout.width) + be32(layout.height));
    std::string ipco = box("ipco", hvcC + ispe + layout.transforms);
    std::string associations;
    associations += char(0x81);
    associations += char(2);
    for (int i = 0; i < layout.transformCount; ++i)
        associations += char(0x80 | (3 + i));
    std::string ipma = fullBox("ipma", 0, be32(1) + be16(1) + char(2 + layout.transformCount) + associations);
    std::string meta = fullBox("meta", 0, hdlr + pitm + iinf + iloc + iref + box("iprp", ipco + ipma));
    return ftyp + mdat + meta;
}

std::string clap(std::uint32_t wN, std::uint32_t wD, std::uint32_t hN, std::uint32_t hD) {
    return box("clap", be32(wN) + be32(wD) + be32(hN) + be32(hD) + be32(0) + be32(1) + be32(0) + be32(1));
}
std::string irot(std::uint8_t quarterTurns) {
    return box("irot", std::string{char(quarterTurns)});
}

class HeifPropertiesTest : public ::testing::Test {
protected:
    test::TemporaryFolder folder;
    std::filesystem::path write(const std::string& bytes) {
        const auto path = folder / "photo.heic";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // The size libheif gives the primary image: what the decoder will produce.
    std::pair<int, int> libheifSize(const std::filesystem::path& path) {
        heif_context* context = heif_context_alloc();
        heif_image_handle* handle = nullptr;
        std::pair<int, int> size{-1, -1};
        if (heif_context_read_from_file(context, path.c_str(), nullptr).code == heif_error_Ok &&
            heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
            size = {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
            heif_image_handle_release(handle);
        }
        heif_context_free(context);
        return size;
    }
};

TEST_F(HeifPropertiesTest, SizeFollowsTheCleanApertureAndRotationAsLibheifDecodesIt) {
    struct Case {
        const char* name;
        std::string transforms;
        int count;
        std::pair<int, int> expected;
    };
    const Case cases[] = {
        {"plain", "", 0, {4000, 3000}},
        {"quarter turn", irot(1), 1, {3000, 4000}},
        {"half turn", irot(2), 1, {4000, 3000}},
        {"three quarters", irot(3), 1, {3000, 4000}},
        {"clean aperture", clap(3001, 2, 2000, 1), 1, {1501, 2000}},
        {"clean aperture, then rotation", clap(3001, 2, 2000, 1) + irot(1), 2, {2000, 1501}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = write(heif({4000, 3000, c.transforms, c.count, 0}));
        const auto properties = ImagePropertiesReader::readHeif(path);
        ASSERT_TRUE(properties.has_value());
        EXPECT_EQ(std::make_pair(properties->pixelWidth, properties->pixelHeight), c.expected);
        EXPECT_EQ(std::make_pair(properties->pixelWidth, properties->pixelHeight), libheifSize(path));
        EXPECT_FALSE(properties->orientation.has_value());
        EXPECT_EQ(properties->dateTimeOriginal, "2021:03:04 05:06:07");
    }
}

TEST_F(HeifPropertiesTest, RefusesItemBoxesThatLieOrPointAway) {
    const std::string good = heif({});
    ASSERT_TRUE(ImagePropertiesReader::readHeif(write(good)).has_value());
    // An EXIF extent outside the file loses the date, not the photo.
    const auto shifted = ImagePropertiesReader::readHeif(write(heif({4000, 3000, "", 0, 1000000})));
    ASSERT_TRUE(shifted.has_value());
    EXPECT_FALSE(shifted->dateTimeOriginal.has_value());

    EXPECT_FALSE(ImagePropertiesReader::readHeif(write(heif({0, 3000, "", 0, 0}))).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readHeif(write(heif({1u << 16, 1u << 16, "", 0, 0}))).has_value());
    EXPECT_FALSE(
        ImagePropertiesReader::readHeif(write(heif({4000, 3000, clap(1, 0, 1, 1), 1, 0}))).has_value());
    // Every single byte of the metadata damaged in turn: never a crash, never a hang.
    const std::size_t metaAt = good.rfind("meta") - 4;
    for (std::size_t i = metaAt; i < good.size(); ++i) {
        std::string damaged = good;
        damaged[i] = static_cast<char>(damaged[i] ^ 0xFF);
        (void)ImagePropertiesReader::readHeif(write(damaged));
    }
}

} // namespace
} // namespace sorvin
