#include "platform/image_properties.hpp"
#include "support/hostile_files.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string_view>
#include <sys/stat.h>

namespace sorvin {
namespace {

using test::sample;
using test::samplesDir;

struct SampleCase {
    const char* file;
    ImageContainer container;
    int width;
    int height;
    std::optional<long> orientation;
    std::optional<std::string> date;
};

// Every readable sample with the values an independent EXIF tool and the file headers give.
const SampleCase readableSamples[] = {
    {"jpeg/canon_50d_progressive_adobergb_gps_lens.jpg", ImageContainer::jpeg, 720, 540, 1,
     "2011:07:10 19:34:28"},
    {"jpeg/canon_6d_adobergb_gps_lens.jpg", ImageContainer::jpeg, 497, 331, 1, "2013:11:26 15:53:55"},
    {"jpeg/cmyk_no_profile.jpg", ImageContainer::jpeg, 500, 333, std::nullopt, std::nullopt},
    {"jpeg/cmyk_swop_canon_300d.jpg", ImageContainer::jpeg, 500, 333, 1, "2004:03:20 14:54:55"},
    {"jpeg/iceland_displayp3_nikon_d800e.jpg", ImageContainer::jpeg, 600, 400, 1, "2012:08:08 22:07:18"},
    {"jpeg/iceland_srgb_untagged_nikon_d800e.jpg", ImageContainer::jpeg, 600, 400, 1, "2012:08:08 22:07:18"},
    {"jpeg/iphone5_orient3.jpg", ImageContainer::jpeg, 3264, 2448, 3, "2012:09:29 16:11:25"},
    {"jpeg/nikon_d40_orient6.jpg", ImageContainer::jpeg, 3008, 2000, 6, "2006:12:16 12:42:05"},
    {"jpeg/nikon_d70s_gps_lens.jpg", ImageContainer::jpeg, 1488, 2240, 1, "2005:12:14 14:39:47"},
    {"jpeg/progressive_large.jpg", ImageContainer::jpeg, 4217, 2817, std::nullopt, std::nullopt},
    {"jpeg/orientation/landscape_0.jpg", ImageContainer::jpeg, 1800, 1200, 0, std::nullopt},
    {"jpeg/orientation/landscape_1.jpg", ImageContainer::jpeg, 1800, 1200, 1, std::nullopt},
    {"jpeg/orientation/landscape_2.jpg", ImageContainer::jpeg, 1800, 1200, 2, std::nullopt},
    {"jpeg/orientation/landscape_3.jpg", ImageContainer::jpeg, 1800, 1200, 3, std::nullopt},
    {"jpeg/orientation/landscape_4.jpg", ImageContainer::jpeg, 1800, 1200, 4, std::nullopt},
    {"jpeg/orientation/landscape_5.jpg", ImageContainer::jpeg, 1200, 1800, 5, std::nullopt},
    {"jpeg/orientation/landscape_6.jpg", ImageContainer::jpeg, 1200, 1800, 6, std::nullopt},
    {"jpeg/orientation/landscape_7.jpg", ImageContainer::jpeg, 1200, 1800, 7, std::nullopt},
    {"jpeg/orientation/landscape_8.jpg", ImageContainer::jpeg, 1200, 1800, 8, std::nullopt},
    {"jpeg/orientation/portrait_0.jpg", ImageContainer::jpeg, 1200, 1800, 0, std::nullopt},
    {"jpeg/orientation/portrait_1.jpg", ImageContainer::jpeg, 1200, 1800, 1, std::nullopt},
    {"jpeg/orientation/portrait_2.jpg", ImageContainer::jpeg, 1200, 1800, 2, std::nullopt},
    {"jpeg/orientation/portrait_3.jpg", ImageContainer::jpeg, 1200, 1800, 3, std::nullopt},
    {"jpeg/orientation/portrait_4.jpg", ImageContainer::jpeg, 1200, 1800, 4, std::nullopt},
    {"jpeg/orientation/portrait_5.jpg", ImageContainer::jpeg, 1800, 1200, 5, std::nullopt},
    {"jpeg/orientation/portrait_6.jpg", ImageContainer::jpeg, 1800, 1200, 6, std::nullopt},
    {"jpeg/orientation/portrait_7.jpg", ImageContainer::jpeg, 1800, 1200, 7, std::nullopt},
    {"jpeg/orientation/portrait_8.jpg", ImageContainer::jpeg, 1800, 1200, 8, std::nullopt},
    // HEIF: the rotation box is applied to the size, so no orientation is reported.
    {"heif/iphone8_gps.heic", ImageContainer::heif, 4032, 3024, std::nullopt, "2018:02:05 15:11:44"},
    {"heif/iphone11pro_exif_at_eof.heic", ImageContainer::heif, 3024, 4032, std::nullopt,
     "2020:05:04 18:39:11"},
    {"heif/iphonexr_orient6.heic", ImageContainer::heif, 3024, 4032, std::nullopt, "2019:08:21 11:21:36"},
    {"heif/samsung_s10plus_orient6.heic", ImageContainer::heif, 3024, 4032, std::nullopt,
     "2020:06:30 11:27:59"},
    {"raw/nikon_d1.nef", ImageContainer::raw, 2012, 1324, 1, "2000:11:19 13:01:50"},
    {"raw/blackmagic_pocket4k.dng", ImageContainer::raw, 4128, 2176, 1, std::nullopt},
    {"raw/canon_eos_6d_linear_lossy.dng", ImageContainer::raw, 1224, 816, 1, "2019:06:06 07:29:51"},
    {"raw/canon_eos_d30.crw", ImageContainer::raw, 2176, 1448, 1, "2002:11:24 15:11:22"},
    {"raw/magiclantern_canon_550d_uncompressed.dng", ImageContainer::raw, 1734, 1156, 1, ""}, // an empty date
    {"raw/constructed_nikon_compressed_nef_ends_file.nef", ImageContainer::raw, 1612, 1324, 1,
     "2000:11:19 13:01:50"},
    {"raw/constructed_olympus_compressed_orf_ends_file.orf", ImageContainer::raw, 2012, 1324, 1,
     "2000:11:19 13:01:50"},
    {"raw/constructed_om_system_orf_ends_file.orf", ImageContainer::raw, 2012, 1324, 1,
     "2000:11:19 13:01:50"},
    {"raw/constructed_panasonic_rw2_gf1_layout.rw2", ImageContainer::raw, 2002, 1324, 1,
     "2010:11:05 15:19:26"},
    {"raw/constructed_sony_a100_layout_small.arw", ImageContainer::raw, 1936, 1300, 1, "2000:11:19 13:01:50"},
    {"raw/constructed_fujifilm_xtrans_uncompressed.raf", ImageContainer::raw, 2012, 1324, 1, std::nullopt},
    // Damaged picture data behind an intact header: photos, their decode showing what it recovers.
    {"corrupt/fuzz_bad_restart_marker_sony.jpg", ImageContainer::jpeg, 1280, 960, 1, "2005:08:11 19:31:37"},
    {"corrupt/fuzz_premature_end.jpg", ImageContainer::jpeg, 3484, 2347, std::nullopt, std::nullopt},
    {"corrupt/truncated_10000_bytes.jpg", ImageContainer::jpeg, 2725, 2225, std::nullopt, std::nullopt},
    // JPEG content under a HEIF or RAW name is read as what it is.
    {"corrupt/jpeg_content_named.heic", ImageContainer::heif, 500, 500, 1, "2013:03:05 17:29:26"},
    {"corrupt/jpeg_content_named.nef", ImageContainer::raw, 2000, 3008, 1, "2010:03:01 21:50:21"},
};

// Every sample that gives no photo, read as the container its name claims.
const std::pair<const char*, ImageContainer> corruptSamples[] = {
    {"corrupt/corrupt_header.jpg", ImageContainer::jpeg},
    {"corrupt/truncated_leica_m10.dng", ImageContainer::raw},
    {"corrupt/truncated_sony_zv-e10.arw", ImageContainer::raw},
    {"corrupt/unsupported_jxl_dng17_nikon_z9.dng", ImageContainer::raw},
};

TEST(ImagePropertiesReaderTest, ReadsSizeOrientationAndDateOfEveryReadableSample) {
    for (const SampleCase& c : readableSamples) {
        SCOPED_TRACE(c.file);
        const auto properties = ImagePropertiesReader::read(sample(c.file), c.container);
        ASSERT_TRUE(properties.has_value());
        EXPECT_EQ(properties->pixelWidth, c.width);
        EXPECT_EQ(properties->pixelHeight, c.height);
        EXPECT_EQ(properties->orientation, c.orientation);
        EXPECT_EQ(properties->dateTimeOriginal, c.date);
    }
}

TEST(ImagePropertiesReaderTest, RefusesEveryCorruptSample) {
    for (const auto& [file, container] : corruptSamples) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(ImagePropertiesReader::read(sample(file), container).has_value());
    }
}

TEST(ImagePropertiesReaderTest, TheTablesCoverEverySampleFile) {
    std::set<std::string> covered;
    for (const SampleCase& c : readableSamples)
        covered.insert(c.file);
    for (const auto& [file, container] : corruptSamples)
        covered.insert(file);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(samplesDir())) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        EXPECT_TRUE(covered.count(entry.path().lexically_relative(samplesDir()).string())) << entry.path();
    }
}

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ImagePropertiesReaderTest, RefusesFilesCutShortInTheirHeaderOrStructure) {
    test::TemporaryFolder folder;
    const std::pair<const char*, ImageContainer> sources[] = {
        {"jpeg/iceland_srgb_untagged_nikon_d800e.jpg", ImageContainer::jpeg},
        {"jpeg/canon_50d_progressive_adobergb_gps_lens.jpg", ImageContainer::jpeg},
        {"heif/iphone8_gps.heic", ImageContainer::heif},
        {"raw/canon_eos_6d_linear_lossy.dng", ImageContainer::raw},
    };
    for (const auto& [file, container] : sources) {
        const std::string whole = contentOf(sample(file));
        const auto expected = ImagePropertiesReader::read(sample(file), container);
        ASSERT_TRUE(expected.has_value());
        for (double fraction : {0.0, 0.001, 0.05, 0.5, 0.999}) {
            SCOPED_TRACE(std::string(file) + " cut at " + std::to_string(fraction));
            const auto cut = folder / "cut";
            writeFile(cut, whole.substr(0, static_cast<std::size_t>(whole.size() * fraction)));
            const auto properties = ImagePropertiesReader::read(cut, container);
            // A JPEG whose header is whole is a photo whatever became of its picture data (the
            // decoder shows what it recovers); every other cut refuses the file.
            const bool headerWhole = container == ImageContainer::jpeg && fraction >= 0.5;
            ASSERT_EQ(properties.has_value(), headerWhole);
            if (headerWhole) {
                EXPECT_EQ(properties->pixelWidth, expected->pixelWidth);
                EXPECT_EQ(properties->dateTimeOriginal, expected->dateTimeOriginal);
            }
        }
    }
}

// RAW files whose data a maker's own tag locates. Panasonic's fill whole 16 KiB blocks to the end of
// the file: one cut inside a block is no photo, one cut by whole blocks still reads as one (the
// export's reading refuses it). The Sony A100's run to the end of the file, where no cut shows.
TEST(ImagePropertiesReaderTest, RawDataLocatedByAMakersOwnTagAreJudgedByItsLayout) {
    test::TemporaryFolder folder;
    for (const char* file :
         {"raw/constructed_panasonic_rw2_gf1_layout.rw2", "raw/constructed_sony_a100_layout_small.arw"}) {
        const std::string whole = contentOf(sample(file));
        const bool panasonic = std::string_view(file).ends_with(".rw2");
        for (const std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{16}, std::size_t{64},
                                      std::size_t{16384}, whole.size() / 2}) {
            SCOPED_TRACE(std::string(file) + " less " + std::to_string(cut));
            writeFile(folder / "cut", whole.substr(0, whole.size() - cut));
            const bool listed = !panasonic || cut == 16384;
            EXPECT_EQ(ImagePropertiesReader::read(folder / "cut", ImageContainer::raw).has_value(), listed);
        }
    }
}

TEST(ImagePropertiesReaderTest, AJpegIsReadFromItsHeaderAlone) {
    test::TemporaryFolder folder;
    const std::string whole = contentOf(sample("jpeg/canon_6d_adobergb_gps_lens.jpg"));
    // Phones append a video or other data after the image (motion photos, trailers).
    writeFile(folder / "motion.jpg", whole + std::string(200000, '\x42') + "ftypmp42");
    // A card pulled too early: half the picture data, then a large unwritten remainder.
    test::hostile::writeSparse(folder / "cut.jpg", whole.substr(0, whole.size() / 2),
                               std::uintmax_t{1} << 30);
    // Many large segments before the image: walked over, never held.
    writeFile(folder / "segments.jpg", test::hostile::jpegWithManySegments(whole, 64, 0xFFFF + 2));
    for (const char* name : {"motion.jpg", "cut.jpg", "segments.jpg"}) {
        SCOPED_TRACE(name);
        const auto properties = ImagePropertiesReader::readJpeg(folder / name);
        ASSERT_TRUE(properties.has_value());
        EXPECT_EQ(properties->pixelWidth, 497);
        EXPECT_EQ(properties->dateTimeOriginal, "2013:11:26 15:53:55");
    }
    // A header of more segments than any real one is not read.
    writeFile(folder / "endless.jpg", test::hostile::jpegWithManySegments(whole, 1100, 64));
    EXPECT_FALSE(ImagePropertiesReader::readJpeg(folder / "endless.jpg").has_value());
}

TEST(ImagePropertiesReaderTest, RefusesCraftedStructuresThatPromiseMoreThanTheirBytesHold) {
    test::TemporaryFolder folder;
    using namespace test::hostile;
    const std::pair<const char*, std::string> refused[] = {
        {"free_extents.heic", heifWithFreeExtents(16 << 10)},
        {"huge_size.heic", heifWithHugeSize()},
        {"many_boxes.heic", isoMediaWithManyBoxes(64 << 10)},
        {"many_boxes.cr3", isoMediaWithManyBoxes(64 << 10)},
        {"shared_values.dng", tiffWithSharedValues(512 << 10)},
        {"sub_ifd_fan_out.dng", tiffWithSubIfdFanOut()},
    };
    for (const auto& [name, bytes] : refused) {
        SCOPED_TRACE(name);
        write(folder / name, bytes);
        const auto claimed =
            std::string(name).ends_with(".heic") ? ImageContainer::heif : ImageContainer::raw;
        EXPECT_FALSE(ImagePropertiesReader::read(folder / name, claimed).has_value());
    }
    // An EXIF item built the same way loses its date, not the photo.
    write(folder / "shared_values_exif.heic", heifWithSharedValuesExif(512 << 10));
    const auto exif = ImagePropertiesReader::read(folder / "shared_values_exif.heic", ImageContainer::heif);
    ASSERT_TRUE(exif.has_value());
    EXPECT_EQ(exif->pixelWidth, 4000);
    EXPECT_FALSE(exif->dateTimeOriginal.has_value());
}

TEST(ImagePropertiesReaderTest, EachReaderReadsItsOwnContainerOnly) {
    const auto jpeg = sample("jpeg/iceland_srgb_untagged_nikon_d800e.jpg");
    const auto heif = sample("heif/iphone8_gps.heic");
    const auto raw = sample("raw/nikon_d1.nef");
    EXPECT_FALSE(ImagePropertiesReader::readHeif(jpeg).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readRaw(jpeg).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readJpeg(heif).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readRaw(heif).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readJpeg(raw).has_value());
    EXPECT_FALSE(ImagePropertiesReader::readHeif(raw).has_value());
    // Reading by the claimed container goes by the content for JPEG and HEIF; other content is
    // read only under a RAW name.
    EXPECT_EQ(ImagePropertiesReader::read(jpeg, ImageContainer::heif)->pixelWidth, 600);
    EXPECT_EQ(ImagePropertiesReader::read(heif, ImageContainer::jpeg)->pixelWidth, 4032);
    EXPECT_FALSE(ImagePropertiesReader::read(raw, ImageContainer::jpeg).has_value());
    EXPECT_FALSE(ImagePropertiesReader::read(raw, ImageContainer::heif).has_value());
}

TEST(ImagePropertiesReaderTest, RefusesWhatIsNotAReadableRegularFile) {
    test::TemporaryFolder folder;
    writeFile(folder / "empty.jpg", "");
    ASSERT_EQ(::mkfifo((folder / "pipe.jpg").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "folder.jpg");
    for (const char* name : {"empty.jpg", "pipe.jpg", "folder.jpg", "missing.jpg"}) {
        SCOPED_TRACE(name);
        // A FIFO must be refused at once rather than waited on.
        EXPECT_FALSE(ImagePropertiesReader::readJpeg(folder / name).has_value());
        EXPECT_FALSE(ImagePropertiesReader::readHeif(folder / name).has_value());
        EXPECT_FALSE(ImagePropertiesReader::readRaw(folder / name).has_value());
    }
}

} // namespace
} // namespace sorvin
