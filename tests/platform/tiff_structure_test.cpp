#include "platform/tiff_structure.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

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

// A little-endian file of the given TIFF magic: one IFD at 8 of the entries, the model's text at
// kTextAt, then `data` from kDataAt.
constexpr std::uint32_t kTextAt = 200, kDataAt = 256;
std::string oneIfd(std::uint16_t magic, const std::vector<std::string>& entries, const std::string& model,
                   const std::string& data) {
    std::string bytes = "II" + le16(magic) + le32(8) + le16(static_cast<std::uint16_t>(entries.size()));
    for (const std::string& e : entries)
        bytes += e;
    bytes += le32(0);
    bytes.resize(kTextAt, '\0');
    bytes += model;
    bytes.resize(kDataAt, '\0');
    return bytes + data;
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

// Panasonic's files say nothing of their data in the strip tags (an offset of 0xFFFFFFFF and a count
// of 0, or a count of the uncompressed size, past the end): the data begin at RawDataOffset (0x118)
// and fill whole 16 KiB blocks to the end of the file, unless a count within the file says how far.
TEST(TiffStructure, PanasonicDataBeginAtRawDataOffsetAndFillWhole16KiBBlocks) {
    test::TemporaryFolder folder;
    constexpr std::uint32_t block = 16384;
    const auto rw2 = [](std::uint32_t stripBytes, std::size_t dataBytes, std::uint16_t magic = 0x55) {
        return oneIfd(
            magic,
            {entry(0x0111, 4, 1, 0xFFFFFFFF), entry(0x0117, 4, 1, stripBytes), entry(0x0118, 4, 1, kDataAt)},
            "", std::string(dataBytes, '\x5A'));
    };
    struct Case {
        const char* name;
        std::string bytes;
        bool within;
        std::uint64_t end;
    };
    const Case cases[] = {
        {"whole blocks", rw2(0, 3 * block), true, kDataAt + 3 * block},
        {"one byte short of them", rw2(0, 3 * block - 1), false, kDataAt + 3 * block},
        {"half a block short", rw2(0, 2 * block + block / 2), false, kDataAt + 3 * block},
        {"a count past the end", rw2(10'000'000, 2 * block), true, kDataAt + 2 * block},
        {"a count within the file", rw2(20'000, 20'000), true, kDataAt + 20'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = fileWith(folder, c.bytes);
        EXPECT_EQ(TiffStructure::dataLiesWithinFile(*file), c.within);
        const auto end = TiffStructure::dataEnd(*file, kDataAt);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->position, c.end);
        EXPECT_FALSE(end->mayBeReadPast);
    }
    // The offset past the end of the file, or the same tags in a file that is not Panasonic's.
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(
        *fileWith(folder, oneIfd(0x55, {entry(0x0118, 4, 1, 1 << 20)}, "", std::string(block, '\0')))));
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, rw2(0, 3 * block, 42))));
}

// The Sony DSLR-A100 keeps its sensor data's offset in tag 0x14A (elsewhere SubIFDs) of the IFD
// 3872 pixels wide, as LibRaw reads it; the data run to the end of the file, where its bit reader
// may look past the last byte.
TEST(TiffStructure, TheSonyA100sTag0x14AIsItsSensorDataOffset) {
    test::TemporaryFolder folder;
    const auto arw = [](const std::string& model, std::uint32_t width, std::size_t dataBytes) {
        return oneIfd(
            42, {entry(0x0100, 4, 1, width), entry(0x0110, 2, 10, kTextAt), entry(0x014A, 4, 1, kDataAt)},
            model + std::string(1, '\0'), std::string(dataBytes, '\xFF'));
    };
    for (const std::size_t dataBytes : {std::size_t{50'000}, std::size_t{1}}) {
        const auto file = fileWith(folder, arw("DSLR-A100", 3872, dataBytes));
        EXPECT_TRUE(TiffStructure::dataLiesWithinFile(*file));
        const auto end = TiffStructure::dataEnd(*file, kDataAt);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->position, kDataAt + dataBytes);
        EXPECT_TRUE(end->mayBeReadPast);
    }
    // Another model, or another width: a SubIFD, and the data are no IFD.
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, arw("DSLR-A700", 3872, 50'000))));
    EXPECT_FALSE(TiffStructure::dataLiesWithinFile(*fileWith(folder, arw("DSLR-A100", 3880, 50'000))));
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
