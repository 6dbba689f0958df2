#include "platform/image_properties.hpp"
#include "support/hostile_files.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <string>

namespace sorvin {
namespace {

using test::hostile::be32;
using test::hostile::box;
using test::hostile::heif;
using test::hostile::HeifLayout;

template <typename Change>
std::string heifWith(Change change) {
    HeifLayout layout;
    change(layout);
    return heif(layout);
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
        const auto path =
            write(heifWith([&](HeifLayout& l) { l.transforms = c.transforms, l.transformCount = c.count; }));
        const auto properties = ImagePropertiesReader::readHeif(path);
        ASSERT_TRUE(properties.has_value());
        EXPECT_EQ(std::make_pair(properties->pixelWidth, properties->pixelHeight), c.expected);
        EXPECT_EQ(std::make_pair(properties->pixelWidth, properties->pixelHeight), libheifSize(path));
        EXPECT_FALSE(properties->orientation.has_value());
        EXPECT_EQ(properties->dateTimeOriginal, "2021:03:04 05:06:07");
    }
}

TEST_F(HeifPropertiesTest, RefusesItemBoxesThatLieOrPointAway) {
    const std::string good = heif(HeifLayout{});
    ASSERT_TRUE(ImagePropertiesReader::readHeif(write(good)).has_value());
    // An EXIF extent outside the file loses the date, not the photo.
    const auto shifted =
        ImagePropertiesReader::readHeif(write(heifWith([](HeifLayout& l) { l.exifOffsetShift = 1000000; })));
    ASSERT_TRUE(shifted.has_value());
    EXPECT_FALSE(shifted->dateTimeOriginal.has_value());

    EXPECT_FALSE(
        ImagePropertiesReader::readHeif(write(heifWith([](HeifLayout& l) { l.width = 0; }))).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readHeif(write(heifWith([](HeifLayout& l) {
                     l.width = l.height = 1u << 16;
                 }))).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readHeif(write(heifWith([](HeifLayout& l) {
                     l.transforms = clap(1, 0, 1, 1), l.transformCount = 1;
                 }))).has_value());
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
