#include "export/legacy_embedded_thumbnail_cleaner.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Builds small JPEG files around an EXIF block, byte by byte, so that every field of the
// structure can be set (or broken) at will.
struct JpegBuilder {
    bool bigEndian = false;
    int mainWidth = 6000, mainHeight = 4000;
    std::optional<std::pair<int, int>> thumbnail = std::pair{160, 120};
    bool withExif = true;
    bool xmpFirst = false;
    bool duplicateOffsetTag = false;
    std::optional<std::uint32_t> offsetOverride;
    bool thumbnailScanBeforeFrame = false;

    static void put16be(Bytes& b, int v) {
        b.push_back(static_cast<std::uint8_t>(v >> 8));
        b.push_back(static_cast<std::uint8_t>(v));
    }
    void put16(Bytes& b, std::uint32_t v) const {
        if (bigEndian) {
            put16be(b, static_cast<int>(v));
        } else {
            b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    void put32(Bytes& b, std::uint32_t v) const {
        if (bigEndian) {
            put16(b, v >> 16), put16(b, v & 0xFFFF);
        } else {
            put16(b, v & 0xFFFF), put16(b, v >> 16);
        }
    }
    static void frame(Bytes& b, int width, int height) {
        b.insert(b.end(), {0xFF, 0xC0});
        put16be(b, 17);
        b.push_back(8);
        put16be(b, height);
        put16be(b, width);
        b.push_back(3);
        for (int c = 1; c <= 3; ++c)
            b.insert(b.end(), {static_cast<std::uint8_t>(c), 0x11, 0});
    }
    static Bytes miniJpeg(int width, int height, bool scanFirst) {
        Bytes b{0xFF, 0xD8};
        if (scanFirst) b.insert(b.end(), {0xFF, 0xDA, 0, 2});
        frame(b, width, height);
        b.insert(b.end(), {0xFF, 0xD9});
        return b;
    }
    Bytes tiff() const {
        Bytes t;
        t.insert(t.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M'}
                                    : std::initializer_list<std::uint8_t>{'I', 'I'});
        put16(t, 42);
        put32(t, 8);
        // IFD0: one entry (Orientation), then the link.
        put16(t, 1);
        put16(t, 0x0112), put16(t, 3), put32(t, 1), put16(t, 1), put16(t, 0);
        const std::uint32_t ifd1 = 8 + 2 + 12 + 4;
        put32(t, thumbnail ? ifd1 : 0);
        if (!thumbnail) return t;
        const std::uint16_t count = duplicateOffsetTag ? 3 : 2;
        const std::uint32_t data = ifd1 + 2 + 12 * count + 4;
        const Bytes thumb = miniJpeg(thumbnail->first, thumbnail->second, thumbnailScanBeforeFrame);
        put16(t, count);
        put16(t, 0x0201), put16(t, 4), put32(t, 1), put32(t, offsetOverride.value_or(data));
        if (duplicateOffsetTag) put16(t, 0x0201), put16(t, 4), put32(t, 1), put32(t, 0xFFFFFF);
        put16(t, 0x0202), put16(t, 4), put32(t, 1), put32(t, static_cast<std::uint32_t>(thumb.size()));
        put32(t, 0);
        t.insert(t.end(), thumb.begin(), thumb.end());
        return t;
    }
    Bytes file() const {
        Bytes b{0xFF, 0xD8};
        if (xmpFirst) {
            const std::string xmp = "http://ns.adobe.com/xap/1.0/";
            b.insert(b.end(), {0xFF, 0xE1});
            put16be(b, static_cast<int>(xmp.size() + 1 + 2));
            b.insert(b.end(), xmp.begin(), xmp.end());
            b.push_back(0);
        }
        if (withExif) {
            const Bytes t = tiff();
            b.insert(b.end(), {0xFF, 0xE1});
            put16be(b, static_cast<int>(t.size() + 6 + 2));
            b.insert(b.end(), {'E', 'x', 'i', 'f', 0, 0});
            b.insert(b.end(), t.begin(), t.end());
        }
        frame(b, mainWidth, mainHeight);
        b.insert(b.end(), {0xFF, 0xDA, 0, 2, 0x12, 0x34, 0xFF, 0xD9});
        return b;
    }
};

class LegacyEmbeddedThumbnailCleanerTest : public ::testing::Test {
protected:
    Bytes cleaned(const Bytes& bytes) {
        const fs::path file = folder / "copy.jpg";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(file);
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The position of IFD0's link in a builder's file.
    static std::size_t link(const JpegBuilder& builder) {
        const Bytes bytes = builder.file();
        return LegacyEmbeddedThumbnailCleaner::thumbnailReference(bytes)->linkPosition;
    }
    test::TemporaryFolder folder;
};

TEST_F(LegacyEmbeddedThumbnailCleanerTest, AMismatchingThumbnailIsDetachedAndNothingElseChanges) {
    for (const bool bigEndian : {false, true}) {
        JpegBuilder builder;
        builder.bigEndian = bigEndian;
        builder.thumbnail = std::pair{120, 160};
        const Bytes original = builder.file();
        const Bytes after = cleaned(original);
        ASSERT_EQ(after.size(), original.size());
        const std::size_t at = link(builder);
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (i >= at && i < at + 4)
                EXPECT_EQ(after[i], 0) << i;
            else
                EXPECT_EQ(after[i], original[i]) << i;
        }
        EXPECT_FALSE(LegacyEmbeddedThumbnailCleaner::thumbnailReference(after));
    }
}

TEST_F(LegacyEmbeddedThumbnailCleanerTest, FilesWithoutAMismatchAreLeftAlone) {
    std::vector<JpegBuilder> untouched(8);
    untouched[0].thumbnail = std::pair{160, 120}; // same shape
    untouched[1].thumbnail = std::nullopt;        // no IFD1
    untouched[2].withExif = false;                // no EXIF
    untouched[3].thumbnail = std::pair{120, 120}; // square thumbnail, landscape photo
    untouched[4].mainWidth = 4000, untouched[4].mainHeight = 4000,
    untouched[4].thumbnail = std::pair{120, 120};
    untouched[5].thumbnail = std::pair{120, 160},
    untouched[5].offsetOverride = 0xFFFFFF00; // points past the end
    untouched[6].thumbnail = std::pair{120, 160}, untouched[6].thumbnailScanBeforeFrame = true;
    untouched[7].thumbnail = std::pair{0, 160}; // frame with a zero width
    for (std::size_t i = 0; i < untouched.size(); ++i) {
        const Bytes original = untouched[i].file();
        EXPECT_EQ(cleaned(original), original) << "case " << i;
    }
}

TEST_F(LegacyEmbeddedThumbnailCleanerTest, TheFirstOfTwoOffsetTagsAndAnXmpSegmentFirstAreHandled) {
    JpegBuilder duplicate;
    duplicate.thumbnail = std::pair{120, 160};
    duplicate.duplicateOffsetTag = true;
    EXPECT_NE(cleaned(duplicate.file()), duplicate.file());

    JpegBuilder xmp;
    xmp.thumbnail = std::pair{120, 160};
    xmp.xmpFirst = true;
    EXPECT_NE(cleaned(xmp.file()), xmp.file());

    JpegBuilder portrait; // a square thumbnail in a portrait photo is a mismatch
    portrait.mainWidth = 4000, portrait.mainHeight = 6000, portrait.thumbnail = std::pair{120, 120};
    EXPECT_NE(cleaned(portrait.file()), portrait.file());
}

TEST_F(LegacyEmbeddedThumbnailCleanerTest, EveryPrefixOfAFileIsReadSafely) {
    JpegBuilder builder;
    builder.thumbnail = std::pair{120, 160};
    const Bytes whole = builder.file();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const std::span<const std::uint8_t> prefix(whole.data(), size);
        LegacyEmbeddedThumbnailCleaner::thumbnailReference(prefix);
        LegacyEmbeddedThumbnailCleaner::jpegSize(prefix);
    }
    // Truncated inside the thumbnail: left as it is.
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() - 30));
    EXPECT_EQ(cleaned(cut), cut);
}

// Peak resident memory of this process so far, in bytes.
std::uint64_t residentPeak() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::stoull(line.substr(6)) * 1024;
    return 0;
}

// A copied photo of several gigabytes (its picture data a hole in the file, so that the disk holds
// only its headers) is repaired like a small one, without its bytes being held in memory.
TEST_F(LegacyEmbeddedThumbnailCleanerTest, AHugeFileIsRepairedInLittleMemory) {
    JpegBuilder builder;
    builder.thumbnail = std::pair{120, 160};
    const Bytes small = builder.file();
    const std::uint64_t size = (std::uint64_t{3} << 30) + 7;
    const fs::path file = folder / "huge.jpg";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(small.data()),
                  static_cast<std::streamsize>(small.size() - 2));
        out.seekp(static_cast<std::streamoff>(size - 2));
        out.write("\xFF\xD9", 2);
    }
    ASSERT_EQ(fs::file_size(file), size);
    const std::uint64_t before = residentPeak();
    LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(file);
    EXPECT_LT(residentPeak() - before, std::uint64_t{64} << 20);
    EXPECT_EQ(fs::file_size(file), size);
    std::ifstream in(file, std::ios::binary);
    Bytes head(small.size() - 2);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const std::size_t at = link(builder);
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(head[i], i >= at && i < at + 4 ? 0 : small[i]) << i;
}

TEST_F(LegacyEmbeddedThumbnailCleanerTest, RealPhotosAreReadWithoutHarm) {
    for (const char* name : {"jpeg/nikon_d40_orient6.jpg", "jpeg/iphone5_orient3.jpg",
                             "corrupt/corrupt_header.jpg", "corrupt/truncated_10000_bytes.jpg"}) {
        std::ifstream in(test::sample(name), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(bytes.empty()) << name;
        const Bytes after = cleaned(bytes);
        EXPECT_EQ(after.size(), bytes.size()) << name;
    }
}

} // namespace
} // namespace sorvin
