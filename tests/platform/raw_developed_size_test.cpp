#include "platform/image_properties.hpp"
#include "platform/raw_developed_size.hpp"
#include "platform/raw_filter.hpp"
#include "support/raw_samples.hpp"
#include "support/test_support.hpp"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <libraw/libraw.h>
#include <memory>
#include <string>

namespace sorvin {
namespace {

using Size = RawDevelopedSize::Size;
using Layout = RawDevelopedSize::Layout;

// The sizes LibRaw reports for cameras whose development changes the picture's shape.
TEST(RawDevelopedSizeTest, DiagonalSensorsTurnSquareAndNonSquarePixelsStretch) {
    struct Row {
        const char* camera;
        Layout layout;
        std::optional<Size> developed;
    };
    const Row rows[] = {
        {"square pixels", {2012, 1324, 0, 1.0}, Size{2012, 1324}},
        {"Nikon D1X: pixels twice as wide as high", {2008, 1324, 0, 0.5}, Size{2008, 2648}},
        {"pixels twice as high as wide", {1000, 1324, 0, 2.0}, Size{2000, 1324}},
        {"Fujifilm SuperCCD, turned square", {2330, 2329, 1006, 1.0}, Size{1421, 1872}},
        {"SuperCCD with non-square pixels", {2330, 2329, 1006, 0.5}, Size{1421, 3744}},
        {"no aspect recorded", {640, 480, 0, 0.0}, Size{640, 480}},
        {"a diagonal wider than the sensor", {100, 100, 120, 1.0}, std::nullopt},
        {"no picture", {0, 480, 0, 1.0}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.camera);
        EXPECT_EQ(RawDevelopedSize::of(row.layout), row.developed);
    }
}

// A copy of the Nikon D1 file that names itself a D1X, whose pixels LibRaw takes as half as high as
// wide (LibRaw also drops 4 columns for that model).
std::filesystem::path writeD1X(const std::filesystem::path& folder) {
    std::ifstream in(test::sample("raw/nikon_d1.nef"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto model = bytes.find(std::string("NIKON D1 \0", 10));
    EXPECT_NE(model, std::string::npos);
    if (model != std::string::npos) bytes.replace(model, 9, "NIKON D1X");
    const auto path = folder / "d1x.nef";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A copy of the X-Trans RAF whose Fuji directory holds the SuperCCD layout (tag 0x130) in place of
// the X-Trans pattern (0x131): LibRaw then takes its 2012 × 1324 sensor as a diagonal one, 2330 ×
// 2329, and turns it square.
std::filesystem::path writeSuperCcd(const std::filesystem::path& folder) {
    std::ifstream in(test::sample(test::kXTransSample), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto big = [&](std::size_t at, int length) {
        std::uint32_t value = 0;
        for (int i = 0; i < length; ++i)
            value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
        return value;
    };
    std::size_t entry = big(92, 4); // the Fuji directory: a count, then tag, length, data
    const std::uint32_t count = big(entry, 4);
    entry += 4;
    bool found = false;
    for (std::uint32_t i = 0; i < count && !found; ++i) {
        if (big(entry, 2) == 0x131) {
            bytes.replace(entry, 2, std::string("\x01\x30", 2));
            bytes.replace(entry + 4, 2, std::string(2, '\0')); // layout 0, a diagonal sensor
            found = true;
        }
        entry += 4 + big(entry + 2, 2);
    }
    EXPECT_TRUE(found);
    const auto path = folder / "superccd.raf";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The output size LibRaw itself reports for a file (what raw-identify prints), before orientation.
std::optional<Size> libRawsOwnOutputSize(const std::filesystem::path& file) {
    const auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NO_DATAERR_CALLBACK);
    if (raw->open_file(file.c_str()) != LIBRAW_SUCCESS || raw->adjust_sizes_info_only() != LIBRAW_SUCCESS)
        return std::nullopt;
    const auto& sizes = raw->imgdata.sizes;
    return sizes.flip & 4 ? Size{sizes.iheight, sizes.iwidth} : Size{sizes.iwidth, sizes.iheight};
}

// What the folder lists is what LibRaw reports and the development gives, for every RAW sample, a
// file of non-square pixels and one of a diagonal sensor.
TEST(RawDevelopedSizeTest, EveryRawFileIsListedAtTheSizeItDevelopsTo) {
    test::TemporaryFolder folder;
    auto files = test::listedRawSamples();
    files.push_back(writeD1X(folder.path()));
    files.push_back(writeSuperCcd(folder.path()));
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename());
        const auto listed = ImagePropertiesReader::readRaw(file);
        ASSERT_TRUE(listed);
        EXPECT_EQ(libRawsOwnOutputSize(file), (Size{listed->pixelWidth, listed->pixelHeight}));
        auto filter = RawFilter::make(file);
        ASSERT_TRUE(filter);
        EXPECT_EQ(filter->nativeSize().width, listed->pixelWidth);
        EXPECT_EQ(filter->nativeSize().height, listed->pixelHeight);
        const SharedImage developed = filter->outputImage();
        ASSERT_TRUE(developed);
        EXPECT_EQ(developed->width(), listed->pixelWidth);
        EXPECT_EQ(developed->height(), listed->pixelHeight);
        if (file.filename() == "d1x.nef") {
            EXPECT_EQ(listed->pixelWidth, 2008);
            EXPECT_EQ(listed->pixelHeight, 2648);
        }
        if (file.filename() == "superccd.raf") {
            EXPECT_EQ(listed->pixelWidth, 1421);
            EXPECT_EQ(listed->pixelHeight, 1872);
        }
    }
}

} // namespace
} // namespace sorvin
