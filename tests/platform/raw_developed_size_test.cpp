#include "platform/image_properties.hpp"
#include "platform/raw_developed_size.hpp"
#include "platform/raw_filter.hpp"
#include "support/raw_samples.hpp"
#include "support/test_support.hpp"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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
        {"Fujifilm SuperCCD, turned square", {2330, 2329, 1006, 1.0}, Size{1422, 1871}},
        {"SuperCCD with non-square pixels", {2330, 2329, 1006, 0.5}, Size{1422, 3742}},
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

// What the folder lists is what the development gives, for every RAW sample and a file of
// non-square pixels.
TEST(RawDevelopedSizeTest, EveryRawFileIsListedAtTheSizeItDevelopsTo) {
    test::TemporaryFolder folder;
    auto files = test::listedRawSamples();
    files.push_back(writeD1X(folder.path()));
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename());
        const auto listed = ImagePropertiesReader::readRaw(file);
        ASSERT_TRUE(listed);
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
    }
}

} // namespace
} // namespace sorvin
