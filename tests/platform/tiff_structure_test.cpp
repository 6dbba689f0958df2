#include "platform/tiff_structure.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace sorvin {
namespace {

std::string le16(std::uint16_t v) {
    return {char(v), char(v >> 8)};
}
std::string le32(std::uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    return le16(tag) + le16(type) + le32(count) + le32(value);
}

// Little-endian TIFF: IFD0 at 8 with orientation, one strip and the EXIF IFD; the EXIF IFD at 62
// with DateTimeOriginal at 80; strip data from 100.
std::string tiff(std::uint32_t stripOffset, std::uint32_t stripBytes, std::uint32_t nextIfd = 0) {
    std::string bytes = "II" + le16(42) + le32(8);
    bytes += le16(4) + entry(0x0112, 3, 1, 6) + entry(0x0111, 4, 1, stripOffset) +
             entry(0x0117, 4, 1, stripBytes) + entry(0x8769, 4, 1, 62) + le32(nextIfd);
    bytes += le16(1) + entry(0x9003, 2, 20, 80) + le32(0);
    bytes += "2019:06:06 07:29:51" + std::string(1, '\0');
    bytes.resize(100, '\0');
    bytes += std::string(50, '\x7F');
    return bytes;
}

std::optional<RegularFile> fileWith(const test::TemporaryFolder& folder, const std::string& bytes) {
    const auto path = folder / "raw.dng";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return RegularFile::open(path, 1u << 30);
}

TEST(TiffStructure, ReadsOrientationAndCaptureDate) {
    const std::string bytes = tiff(100, 50);
    const ExifBasics basics = TiffStructure::exifBasics(
        MemoryBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_EQ(basics.orientation, 6);
    EXPECT_EQ(basics.dateTimeOriginal, "2019:06:06 07:29:51");
}

TEST(TiffStructure, ImageDataMustLieWithinTheFile) {
    test::TemporaryFolder folder;
    EXPECT_TRUE(TiffStructure::dataLiesWithinFile(*fileWith(folder, tiff(100, 50))));
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, tiff(100, 51)))); // one byte short
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, tiff(0xFFFFFFF0, 50)))); // far outside
    EXPECT_FALSE(
        TiffStructure::dataLiesWithinFile(*fileWith(folder, tiff(100, 50, 8)))); // IFD0 points to itself
    EXPECT_FALSE(
        TiffStructure::dataLiesWithinFile(*fileWith(folder, tiff(100, 50, 5000)))); // next IFD outside
    // What is not TIFF is not judged here.
    EXPECT_TRUE(TiffStructure::dataLiesWithinFile(*fileWith(folder, "FUJIFILMCCD-RAW 0201")));
}

TEST(TiffStructure, DamageAnywhereInARealHeaderNeverCrashes) {
    test::TemporaryFolder folder;
    std::ifstream in(test::sample("raw/canon_eos_6d_linear_lossy.dng"), std::ios::binary);
    const std::string whole{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(whole.size(), 4096u);
    std::string header = whole.substr(0, 4096);
    for (std::size_t i = 0; i < header.size(); i += 3) {
        std::string damaged = header;
        damaged[i] = static_cast<char>(damaged[i] ^ 0xA5);
        const MemoryBytes bytes(reinterpret_cast<const std::uint8_t*>(damaged.data()), damaged.size());
        (void)TiffStructure::exifBasics(bytes);
    }
    EXPECT_TRUE(TiffStructure::dataLiesWithinFile(*fileWith(folder, whole)));
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, header)));
}

} // namespace
} // namespace sorvin
