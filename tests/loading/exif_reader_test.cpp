#include "loading/exif_display_values.hpp"
#include "loading/exif_reader.hpp"
#include "support/test_support.hpp"

#include <cmath>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace sorvin {
namespace {

using test::sample;

// The scan's values, which the reader falls back to.
Photo photoAt(const std::string& relative, PhotoFileFormat format) {
    Photo photo;
    photo.url = sample(relative);
    photo.relativePath = relative;
    photo.fileFormat = format;
    photo.pixelWidth = 11;
    photo.pixelHeight = 22;
    photo.orientation = 8;
    return photo;
}

ExifMetadata read(const std::string& relative, PhotoFileFormat format = PhotoFileFormat::jpeg) {
    return ExifReader::read(photoAt(relative, format), std::nullopt);
}

struct CameraRow {
    const char* file;
    PhotoFileFormat format;
    const char* make;
    const char* model;
    const char* date;
    double exposureTime;
    double fNumber;
    int iso; // 0: not stored where the reader looks
    int width;
    int height;
    int orientation;
};

// The values other tools report for the sample files.
const CameraRow kCameraFiles[] = {
    {"jpeg/canon_6d_adobergb_gps_lens.jpg", PhotoFileFormat::jpeg, "Canon", "Canon EOS 6D",
     "2013:11:26 15:53:55", 1.0 / 640, 10, 200, 497, 331, 1},
    {"jpeg/nikon_d70s_gps_lens.jpg", PhotoFileFormat::jpeg, "NIKON CORPORATION", "NIKON D70s",
     "2005:12:14 14:39:47", 1.0 / 60, 29, 1000, 1488, 2240, 1},
    {"jpeg/nikon_d40_orient6.jpg", PhotoFileFormat::jpeg, "NIKON CORPORATION", "NIKON D40",
     "2006:12:16 12:42:05", 1.0 / 160, 6.3, 200, 3008, 2000, 6},
    {"jpeg/iphone5_orient3.jpg", PhotoFileFormat::jpeg, "Apple", "iPhone 5", "2012:09:29 16:11:25",
     1.0 / 1695, 2.4, 50, 3264, 2448, 3},
    // Texts come as stored, trailing blank included; no orientation tag, so the scan's.
    {"raw/nikon_d1.nef", PhotoFileFormat::raw, "NIKON CORPORATION", "NIKON D1 ", "2000:11:19 13:01:50",
     1.0 / 250, 7.6, 0, 11, 22, 8},
    {"raw/canon_eos_6d_linear_lossy.dng", PhotoFileFormat::raw, "Canon", "Canon EOS 6D",
     "2019:06:06 07:29:51", 1.0 / 60, 5.6, 1000, 11, 22, 1},
    {"heif/iphone8_gps.heic", PhotoFileFormat::heif, "Apple", "iPhone 8", "2018:02:05 15:11:44", 1.0 / 17,
     1.8, 80, 4032, 3024, 1},
    // Stored turned: the file's own boxes make it upright, so it counts as orientation 1.
    {"heif/iphonexr_orient6.heic", PhotoFileFormat::heif, "Apple", "iPhone XR", "2019:08:21 11:21:36",
     1.0 / 33, 1.8, 400, 3024, 4032, 1},
    {"heif/samsung_s10plus_orient6.heic", PhotoFileFormat::heif, "samsung", "SM-G975F", "2020:06:30 11:27:59",
     1.0 / 60, 2.4, 200, 3024, 4032, 1},
    // The EXIF item sits at the very end of this file.
    {"heif/iphone11pro_exif_at_eof.heic", PhotoFileFormat::heif, "Apple", "iPhone 11 Pro",
     "2020:05:04 18:39:11", 1.0 / 493, 1.8, 32, 3024, 4032, 1},
    // Damaged pixels, readable EXIF.
    {"corrupt/fuzz_bad_restart_marker_sony.jpg", PhotoFileFormat::jpeg, "SONY", "CYBERSHOT",
     "2005:08:11 19:31:37", 1.0 / 30, 2.4, 320, 1280, 960, 1},
    {"corrupt/truncated_sony_zv-e10.arw", PhotoFileFormat::raw, "SONY", "ZV-E10", "2021:07:24 14:23:06",
     1.0 / 160, 18, 100, 11, 22, 6},
    // Contents that do not match their names.
    {"corrupt/jpeg_content_named.heic", PhotoFileFormat::heif, "Canon", "Canon EOS 6D", "2013:03:05 17:29:26",
     1.0 / 80, 4.5, 500, 500, 500, 1},
    {"corrupt/jpeg_content_named.nef", PhotoFileFormat::raw, "NIKON CORPORATION", "NIKON D70s",
     "2010:03:01 21:50:21", 1.0 / 60, 2.8, 0, 2000, 3008, 1},
};

TEST(ExifReaderTest, CameraFilesGiveTheirValues) {
    for (const auto& row : kCameraFiles) {
        SCOPED_TRACE(row.file);
        const ExifMetadata m = read(row.file, row.format);
        EXPECT_EQ(m.make, row.make);
        EXPECT_EQ(m.model, row.model);
        EXPECT_EQ(m.dateTimeOriginal, row.date);
        ASSERT_TRUE(m.exposureTime);
        EXPECT_NEAR(*m.exposureTime, row.exposureTime, row.exposureTime * 0.01);
        ASSERT_TRUE(m.fNumber);
        EXPECT_NEAR(*m.fNumber, row.fNumber, 0.05);
        EXPECT_EQ(m.iso, row.iso ? std::optional<int>(row.iso) : std::nullopt);
        EXPECT_EQ(m.pixelWidth, row.width);
        EXPECT_EQ(m.pixelHeight, row.height);
        EXPECT_EQ(m.orientation, row.orientation);
        EXPECT_EQ(m.fileName, std::filesystem::path(row.file).filename().string());
        EXPECT_EQ(m.fileSize, static_cast<std::int64_t>(std::filesystem::file_size(sample(row.file))));
    }
}

TEST(ExifReaderTest, LensValuesAndSerialNumbers) {
    const ExifMetadata canon = read("jpeg/canon_6d_adobergb_gps_lens.jpg");
    EXPECT_EQ(canon.lensModel, "EF70-200mm f/4L IS USM");
    ASSERT_TRUE(canon.lensSpecification);
    EXPECT_EQ(canon.lensSpecification->size(), 4u);
    EXPECT_EQ((*canon.lensSpecification)[0], 70);
    EXPECT_EQ((*canon.lensSpecification)[1], 200);
    EXPECT_EQ(canon.bodySerialNumber, "033024001432");
    EXPECT_EQ(canon.lensSerialNumber, "0000829dfa");
    EXPECT_EQ(canon.exposureProgram, 2);
    EXPECT_EQ(canon.exposureBias, 0);
    EXPECT_EQ(canon.focalLength, 111);

    const ExifMetadata nikon = read("jpeg/nikon_d70s_gps_lens.jpg");
    EXPECT_EQ(nikon.lensModel, "18.0-70.0 mm f/3.5-4.5");
    EXPECT_EQ(nikon.focalLength35mm, 90);

    const ExifMetadata iphone = read("heif/iphone8_gps.heic", PhotoFileFormat::heif);
    EXPECT_EQ(iphone.lensModel, "iPhone 8 back camera 3.99mm f/1.8");

    const ExifMetadata z9 = read("corrupt/unsupported_jxl_dng17_nikon_z9.dng", PhotoFileFormat::raw);
    EXPECT_EQ(z9.exposureTime, 30);
    EXPECT_EQ(z9.iso, 65535);
    EXPECT_EQ(z9.lensModel, "NIKKOR Z 85mm f/1.2 S");
}

// The values a copy of a sample gives once `change` has edited its EXIF through exiv2.
ExifMetadata readEdited(const std::string& relative, PhotoFileFormat format,
                        const std::function<void(Exiv2::ExifData&)>& change) {
    test::TemporaryFolder folder;
    const auto file = folder / std::filesystem::path(relative).filename();
    std::filesystem::copy_file(sample(relative), file);
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    auto image = Exiv2::ImageFactory::open(file.string());
    image->readMetadata();
    change(image->exifData());
    image->writeMetadata();
    Photo photo = photoAt(relative, format);
    photo.url = file;
    return ExifReader::read(photo, std::nullopt);
}

TEST(ExifReaderTest, IntegersAreReadBeyondThirtyTwoBits) {
    const ExifMetadata m =
        readEdited("jpeg/nikon_d70s_gps_lens.jpg", PhotoFileFormat::jpeg, [](Exiv2::ExifData& exif) {
            exif["Exif.Image.ImageNumber"] = std::uint32_t{3'000'000'000};
        });
    EXPECT_EQ(m.imageNumber, 3'000'000'000);
}

TEST(ExifReaderTest, FilesWithoutExifKeepTheirNameSizeAndOrientation) {
    const ExifMetadata plain = read("jpeg/progressive_large.jpg");
    EXPECT_EQ(plain.make, std::nullopt);
    EXPECT_EQ(plain.exposureTime, std::nullopt);
    EXPECT_EQ(plain.dateTimeOriginal, std::nullopt);
    EXPECT_EQ(plain.pixelWidth, 4217);
    EXPECT_EQ(plain.pixelHeight, 2817);
    EXPECT_EQ(plain.orientation, 8); // no tag: the scan's value

    const ExifMetadata blackmagic = read("raw/blackmagic_pocket4k.dng", PhotoFileFormat::raw);
    EXPECT_EQ(blackmagic.make, std::nullopt);
    EXPECT_EQ(blackmagic.exposureTime, std::nullopt);
    EXPECT_EQ(blackmagic.fileName, "blackmagic_pocket4k.dng");

    // The tag is there with the invalid value 0; it is reported as stored.
    EXPECT_EQ(read("jpeg/orientation/landscape_0.jpg").orientation, 0);
    for (int orientation = 1; orientation <= 8; ++orientation)
        EXPECT_EQ(read("jpeg/orientation/portrait_" + std::to_string(orientation) + ".jpg").orientation,
                  orientation);
}

TEST(ExifReaderTest, UnreadableFilesFallBackToTheScan) {
    const ExifMetadata header = read("corrupt/corrupt_header.jpg");
    EXPECT_EQ(header.make, std::nullopt);
    EXPECT_EQ(header.pixelWidth, 11);
    EXPECT_EQ(header.pixelHeight, 22);
    EXPECT_EQ(header.orientation, 8);
    EXPECT_EQ(header.fileSize, 1024);

    const ExifMetadata missing = read("corrupt/no_such_file.jpg");
    EXPECT_EQ(missing.fileName, "no_such_file.jpg");
    EXPECT_EQ(missing.pixelWidth, 11);
    EXPECT_EQ(missing.orientation, 8);
    EXPECT_EQ(missing.fileSize, std::nullopt);

    const ExifMetadata leica = read("corrupt/truncated_leica_m10.dng", PhotoFileFormat::raw);
    EXPECT_EQ(leica.model, "LEICA M10");
}

// The camera line of the panel and of the copied text, for every RAW sample: some bodies name
// themselves only in their maker's own tags (Panasonic's RW2) or in a DNG's unique model name.
TEST(ExifReaderTest, EveryRawSampleNamesItsCamera) {
    const std::map<std::string, std::string> cameras = {
        {"blackmagic_pocket4k.dng", "Blackmagic Pocket Cinema Camera 4K"},
        {"canon_eos_6d_linear_lossy.dng", "Canon EOS 6D"},
        {"canon_eos_d30.crw", "Canon EOS D30"},
        {"constructed_fujifilm_xtrans_uncompressed.raf", "FUJIFILM X-E1"},
        {"constructed_nikon_compressed_nef_ends_file.nef", "NIKON CORPORATION NIKON D1"},
        {"constructed_olympus_compressed_orf_ends_file.orf", "OLYMPUS NIKON D1"},
        {"constructed_om_system_orf_ends_file.orf", "OM Digital Solutions NIKON D1"},
        {"constructed_panasonic_rw2_gf1_layout.rw2", "Panasonic DMC-GF1"},
        {"constructed_sony_a100_layout_small.arw", "SONY DSLR-A100"},
        {"magiclantern_canon_550d_uncompressed.dng", "Canon EOS Kiss X4"},
        {"nikon_d1.nef", "NIKON CORPORATION NIKON D1"},
    };
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sample("raw"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++files;
        const auto camera = cameras.find(name);
        ASSERT_NE(camera, cameras.end()) << "a RAW sample without its camera here";
        const ExifMetadata m = read("raw/" + name, PhotoFileFormat::raw);
        EXPECT_EQ(ExifDisplayValues(m, 0).camera, camera->second);
    }
    EXPECT_EQ(files, cameras.size());

    const ExifMetadata panasonic = read("raw/constructed_panasonic_rw2_gf1_layout.rw2", PhotoFileFormat::raw);
    EXPECT_EQ(panasonic.make, "Panasonic");
    EXPECT_EQ(panasonic.model, "DMC-GF1");
    EXPECT_EQ(panasonic.iso, 100);
}

// A blank name in IFD0 gives way to a name elsewhere; a file that has only blanks keeps them.
TEST(ExifReaderTest, BlankCameraNamesGiveWayToTheFilesOtherNames) {
    const ExifMetadata m =
        readEdited("raw/blackmagic_pocket4k.dng", PhotoFileFormat::raw, [](Exiv2::ExifData& exif) {
            exif["Exif.Image.Make"] = std::string(" ");
            exif["Exif.Image.Model"] = std::string("  ");
        });
    EXPECT_EQ(m.make, " ");
    EXPECT_EQ(m.model, "Blackmagic Pocket Cinema Camera 4K");
}

TEST(ExifReaderTest, SourceChoosesTheFileOfAPair) {
    Photo pair = photoAt("jpeg/nikon_d70s_gps_lens.jpg", PhotoFileFormat::jpeg);
    pair.rawCompanionURL = sample("raw/nikon_d1.nef");
    pair.rawCompanionRelativePath = "nikon_d1.nef";
    EXPECT_EQ(ExifReader::read(pair, PhotoSource::raw).model, "NIKON D1 ");
    EXPECT_EQ(ExifReader::read(pair, PhotoSource::jpeg).model, "NIKON D70s");
    EXPECT_EQ(ExifReader::read(pair, std::nullopt).model, "NIKON D70s");
    const Photo rawOnly = photoAt("raw/nikon_d1.nef", PhotoFileFormat::raw);
    EXPECT_EQ(ExifReader::read(rawOnly, std::nullopt).model, "NIKON D1 ");
}

} // namespace
} // namespace sorvin
