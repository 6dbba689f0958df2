// Photos are untrusted: cut or damaged copies of real files must give an image or nothing, never
// a crash, a hang or a read outside the bytes (the sanitizers watch these runs).
#include "loading/exif_reader.hpp"
#include "loading/image_decoder.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace sorvin {
namespace {

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const char* const kFiles[] = {"jpeg/progressive_large.jpg", "jpeg/cmyk_swop_canon_300d.jpg",
                              "jpeg/canon_6d_adobergb_gps_lens.jpg", "heif/iphone11pro_exif_at_eof.heic"};

TEST(HostileInputTest, CutFilesDecodeInPartOrNotAtAll) {
    for (const char* name : kFiles) {
        const std::vector<std::uint8_t> whole = fileBytes(test::sample(name));
        ASSERT_FALSE(whole.empty()) << name;
        for (const std::size_t length :
             {std::size_t{3}, std::size_t{200}, whole.size() / 3, whole.size() - 2}) {
            const std::span<const std::uint8_t> cut(whole.data(), length);
            const SharedImage image = ImageDecoder::decode(cut, 256);
            if (image) {
                EXPECT_LE(std::max(image->width(), image->height()), 256) << name << " cut at " << length;
            }
        }
    }
}

TEST(HostileInputTest, DamagedBytesDecodeInPartOrNotAtAll) {
    for (const char* name : kFiles) {
        std::vector<std::uint8_t> bytes = fileBytes(test::sample(name));
        // Damage spread over headers and data, the same every run.
        for (std::size_t i = 7; i < bytes.size(); i += bytes.size() / 97 + 13)
            bytes[i] ^= 0x5A;
        const SharedImage image = ImageDecoder::decode(bytes, 256);
        if (image) {
            EXPECT_LE(std::max(image->width(), image->height()), 256) << name;
        }
    }
}

TEST(HostileInputTest, CutFilesStillGiveTheirNameToTheExifPanel) {
    test::TemporaryFolder folder;
    for (const char* name : kFiles) {
        const std::vector<std::uint8_t> whole = fileBytes(test::sample(name));
        const auto copy = folder / std::filesystem::path(name).filename();
        std::ofstream(copy, std::ios::binary)
            .write(reinterpret_cast<const char*>(whole.data()),
                   static_cast<std::streamsize>(whole.size() / 2));
        Photo photo;
        photo.url = copy;
        photo.relativePath = copy.filename().string();
        const ExifMetadata metadata = ExifReader::read(photo, std::nullopt);
        EXPECT_EQ(metadata.fileName, copy.filename().string());
        EXPECT_EQ(metadata.fileSize, static_cast<std::int64_t>(whole.size() / 2));
    }
}

} // namespace
} // namespace sorvin
