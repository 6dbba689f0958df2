#include "loading/image_decoder.hpp"
#include "support/damaged_files.hpp"
#include "support/hostile_files.hpp"
#include "support/test_support.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace sorvin {
namespace {

using test::sample;

Photo photoAt(const std::filesystem::path& file, PhotoFileFormat format = PhotoFileFormat::jpeg) {
    Photo photo;
    photo.url = file;
    photo.relativePath = file.filename().string();
    photo.fileFormat = format;
    return photo;
}

SharedImage decoded(const std::string& relative, int maximumPixelSize) {
    return ImageDecoder::decode(photoAt(sample(relative)), std::nullopt, maximumPixelSize);
}

// Mean absolute difference of the colour channels of two images of one size.
double meanDifference(const Image& a, const Image& b) {
    EXPECT_EQ(a.width(), b.width());
    EXPECT_EQ(a.height(), b.height());
    double total = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.byteCount() && i < b.byteCount(); i += 4, count += 3)
        for (int c = 0; c < 3; ++c)
            total += std::abs(int{a.data()[i + c]} - int{b.data()[i + c]});
    return count ? total / static_cast<double>(count) : 0;
}

double meanChannel(const Image& image, int channel) {
    double total = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < image.byteCount(); i += 4)
        total += image.data()[i];
    return total / (static_cast<double>(image.byteCount()) / 4);
}
double meanRed(const Image& image) {
    return meanChannel(image, 0);
}
double meanGreen(const Image& image) {
    return meanChannel(image, 1);
}

TEST(ImageDecoderTest, EveryOrientationComesBackUprightAndAlike) {
    for (const std::string set : {"landscape", "portrait"}) {
        const SharedImage reference = decoded("jpeg/orientation/" + set + "_1.jpg", 300);
        ASSERT_TRUE(reference);
        EXPECT_EQ(std::max(reference->width(), reference->height()), 300);
        EXPECT_EQ(reference->width() > reference->height(), set == "landscape");
        for (int orientation = 0; orientation <= 8; ++orientation) {
            const SharedImage image =
                decoded("jpeg/orientation/" + set + "_" + std::to_string(orientation) + ".jpg", 300);
            ASSERT_TRUE(image) << set << orientation;
            ASSERT_EQ(image->width(), reference->width()) << set << orientation;
            ASSERT_EQ(image->height(), reference->height()) << set << orientation;
            // The digit printed on each picture differs; the photo itself lines up.
            EXPECT_LT(meanDifference(*image, *reference), 12) << set << orientation;
        }
    }
}

TEST(ImageDecoderTest, CameraPortraitAndUpsideDownFilesAreTurned) {
    const SharedImage nikon = decoded("jpeg/nikon_d40_orient6.jpg", 600);
    ASSERT_TRUE(nikon);
    EXPECT_EQ(nikon->width(), 399); // 2000 x 600 / 3008, rounded
    EXPECT_EQ(nikon->height(), 600);
    const SharedImage iphone = decoded("jpeg/iphone5_orient3.jpg", 816);
    ASSERT_TRUE(iphone);
    EXPECT_EQ(iphone->width(), 816);
    EXPECT_EQ(iphone->height(), 612);
}

TEST(ImageDecoderTest, SizeIsCappedButNeverEnlarged) {
    const SharedImage reduced = decoded("jpeg/progressive_large.jpg", 1000);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->width(), 1000);
    EXPECT_EQ(reduced->height(), 668);
    const SharedImage full = decoded("jpeg/progressive_large.jpg", 100000);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width(), 4217);
    EXPECT_EQ(full->height(), 2817);
    EXPECT_LT(meanGreen(*reduced) - meanGreen(*full), 1.0);
    EXPECT_GT(meanGreen(*reduced) - meanGreen(*full), -1.0);
    EXPECT_FALSE(decoded("jpeg/progressive_large.jpg", 0));
    // The asked size can sit between two DCT scales, or far below the smallest one.
    const SharedImage tiny = decoded("jpeg/progressive_large.jpg", 100);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->width(), 100);
    EXPECT_EQ(tiny->height(), 67);
}

TEST(ImageDecoderTest, ADecodeGivenUpMidwayEndsWithNothing) {
    // Asked as the rows come, in a baseline and in a progressive file: the hundredth question ends it.
    for (const char* file : {"jpeg/nikon_d70s_gps_lens.jpg", "jpeg/progressive_large.jpg"}) {
        int asked = 0;
        const CancellationProbe giveUpLate = [&] { return ++asked > 100; };
        EXPECT_FALSE(ImageDecoder::decode(photoAt(sample(file)), std::nullopt, 100000, giveUpLate)) << file;
        EXPECT_GT(asked, 100) << file;
        EXPECT_TRUE(ImageDecoder::decode(photoAt(sample(file)), std::nullopt, 100000, neverCancelled()))
            << file;
    }
}

TEST(ImageDecoderTest, WideGamutFilesAreConvertedToSrgb) {
    const SharedImage p3 = decoded("jpeg/iceland_displayp3_nikon_d800e.jpg", 600);
    const SharedImage srgb = decoded("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", 600);
    ASSERT_TRUE(p3);
    ASSERT_TRUE(srgb);
    EXPECT_EQ(p3->width(), 600);
    EXPECT_EQ(p3->height(), 400);
    // The two files hold the same stored values, one tagged Display P3 and one untagged: managed,
    // the tagged one comes out a little more saturated, and no more than that.
    const double difference = meanDifference(*p3, *srgb);
    EXPECT_GT(difference, 2);
    EXPECT_LT(difference, 8);
    EXPECT_GT(meanRed(*p3), meanRed(*srgb));

    for (const char* adobe :
         {"jpeg/canon_6d_adobergb_gps_lens.jpg", "jpeg/canon_50d_progressive_adobergb_gps_lens.jpg"}) {
        const SharedImage image = decoded(adobe, 4000);
        ASSERT_TRUE(image) << adobe;
    }
}

TEST(ImageDecoderTest, CmykFilesAreNotNegative) {
    const SharedImage managed = decoded("jpeg/cmyk_swop_canon_300d.jpg", 500);
    const SharedImage plain = decoded("jpeg/cmyk_no_profile.jpg", 500);
    ASSERT_TRUE(managed);
    ASSERT_TRUE(plain);
    EXPECT_EQ(managed->width(), 500);
    EXPECT_EQ(managed->height(), 333);
    PixelBuffer negative = plain->copyPixels();
    for (std::size_t i = 0; i < negative.byteCount(); i += 4)
        for (int c = 0; c < 3; ++c)
            negative.data()[i + c] = static_cast<std::uint8_t>(255 - negative.data()[i + c]);
    const Image negativeImage(std::move(negative));
    EXPECT_LT(meanDifference(*managed, *plain) * 3, meanDifference(*managed, negativeImage));
}

TEST(ImageDecoderTest, HeifFilesComeUprightFromTheirOwnBoxes) {
    struct Row {
        const char* file;
        int width;
        int height;
    };
    const Row rows[] = {{"heif/iphone8_gps.heic", 1000, 750},
                        {"heif/iphonexr_orient6.heic", 750, 1000},
                        {"heif/samsung_s10plus_orient6.heic", 750, 1000},
                        {"heif/iphone11pro_exif_at_eof.heic", 750, 1000}};
    for (const auto& row : rows) {
        const SharedImage image = decoded(row.file, 1000);
        ASSERT_TRUE(image) << row.file;
        EXPECT_EQ(image->width(), row.width) << row.file;
        EXPECT_EQ(image->height(), row.height) << row.file;
        EXPECT_GT(meanGreen(*image), 10) << row.file;
    }
}

TEST(ImageDecoderTest, ContentDecidesTheDecoderNotTheName) {
    const SharedImage heicNamed = ImageDecoder::decode(
        photoAt(sample("corrupt/jpeg_content_named.heic"), PhotoFileFormat::heif), std::nullopt, 800);
    ASSERT_TRUE(heicNamed);
    EXPECT_EQ(std::max(heicNamed->width(), heicNamed->height()), 500); // a small JPEG, never enlarged
    const SharedImage nefNamed = ImageDecoder::decode(
        photoAt(sample("corrupt/jpeg_content_named.nef"), PhotoFileFormat::raw), PhotoSource::jpeg, 800);
    ASSERT_TRUE(nefNamed);
}

TEST(ImageDecoderTest, ARawFileIsDevelopedAtTheSizeAskedFor) {
    const SharedImage raw = ImageDecoder::decode(
        photoAt(sample("raw/canon_eos_6d_linear_lossy.dng"), PhotoFileFormat::raw), std::nullopt, 600);
    ASSERT_TRUE(raw);
    EXPECT_EQ(std::max(raw->width(), raw->height()), 600);
    EXPECT_GT(meanGreen(*raw), 10);
    // Not a RAW file by name: not developed.
    EXPECT_FALSE(
        ImageDecoder::decode(photoAt(sample("raw/canon_eos_6d_linear_lossy.dng")), std::nullopt, 600));
}

TEST(ImageDecoderTest, DamagedFilesAreRefusedOrDecodedInPart) {
    EXPECT_FALSE(decoded("corrupt/corrupt_header.jpg", 800));
    EXPECT_FALSE(ImageDecoder::decode(photoAt(sample("corrupt/no_such_file.jpg")), std::nullopt, 800));
    EXPECT_FALSE(ImageDecoder::decode(photoAt(test::samplesDir() / "corrupt"), std::nullopt, 800));
    // libjpeg pads a stream cut short: the decoded part is kept at the file's full size.
    for (const char* partial : {"corrupt/truncated_10000_bytes.jpg", "corrupt/fuzz_premature_end.jpg",
                                "corrupt/fuzz_bad_restart_marker_sony.jpg"}) {
        const SharedImage image = decoded(partial, 640);
        if (image) {
            EXPECT_EQ(std::max(image->width(), image->height()), 640) << partial;
        }
    }
    for (const char* notPictures : {"corrupt/truncated_leica_m10.dng", "corrupt/truncated_sony_zv-e10.arw",
                                    "corrupt/unsupported_jxl_dng17_nikon_z9.dng"})
        EXPECT_FALSE(
            ImageDecoder::decode(photoAt(sample(notPictures), PhotoFileFormat::raw), PhotoSource::jpeg, 640))
            << notPictures;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The strict decode that exports rely on: a sequential JPEG that lacks only its end marker has
// every pixel and is taken whole; one byte less, or a progressive file whose last scan may be
// missing, is refused.
TEST(ImageDecoderTest, TheStrictDecodeTakesASequentialJpegLackingOnlyItsEndMarker) {
    const test::TemporaryFolder folder;
    const auto strict = [&](const std::string& relative, std::size_t cut) {
        std::vector<std::uint8_t> bytes = fileBytes(sample(relative));
        bytes.resize(bytes.size() - cut);
        const auto file = folder / ("cut" + std::to_string(cut) + ".jpg");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return ImageDecoder::decodeAtLeast(photoAt(file), std::nullopt, 0);
    };
    for (const char* sequential : {"jpeg/nikon_d70s_gps_lens.jpg", "jpeg/orientation/portrait_6.jpg",
                                   "jpeg/iceland_srgb_untagged_nikon_d800e.jpg"}) {
        SCOPED_TRACE(sequential);
        const SharedImage whole = strict(sequential, 0);
        const SharedImage lackingItsEnd = strict(sequential, 2);
        ASSERT_TRUE(whole);
        ASSERT_TRUE(lackingItsEnd);
        EXPECT_EQ(meanDifference(*whole, *lackingItsEnd), 0);
        for (const std::size_t cut : {3, 4, 100, 5000})
            EXPECT_FALSE(strict(sequential, cut)) << cut;
    }
    for (const char* progressive :
         {"jpeg/progressive_large.jpg", "jpeg/canon_50d_progressive_adobergb_gps_lens.jpg"}) {
        SCOPED_TRACE(progressive);
        EXPECT_TRUE(strict(progressive, 0));
        for (const std::size_t cut : {2, 100})
            EXPECT_FALSE(strict(progressive, cut)) << cut;
    }
}

// A sequential JPEG of 64 × 64 colours whose three components come in three scans, one each.
std::vector<std::uint8_t> sequentialInThreeScans() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = cinfo.image_height = 64;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    static const jpeg_scan_info scans[] = {
        {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
    cinfo.scan_info = scans;
    cinfo.num_scans = 3;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(64 * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < 64; ++x) {
            row[3 * x] = static_cast<JSAMPLE>(4 * x);
            row[3 * x + 1] = static_cast<JSAMPLE>(4 * cinfo.next_scanline);
            row[3 * x + 2] = 128;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&cinfo);
    return bytes;
}

// Where the scan after the first begins: its SOS marker, which picture data never hold.
std::size_t secondScan(const std::vector<std::uint8_t>& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    return text.find("\xFF\xDA", test::damaged::jpegScanStart(text));
}

// A file that ends where a scan holding every component ends, the scans after it missing: in a
// progressive file (its first scan, of every component's DC) and in a sequential one whose
// components come in scans of their own (its luma scan, which holds one). Neither has lost picture
// data inside a scan, and both lack most of the picture: the strict decode takes the whole files
// and refuses the cut ones, which the screen still shows.
TEST(ImageDecoderTest, TheStrictDecodeRefusesAFileWhoseLaterScansAreMissing) {
    const test::TemporaryFolder folder;
    const auto strict = [&](const std::vector<std::uint8_t>& bytes, const char* name) {
        const auto file = folder / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return ImageDecoder::decodeAtLeast(photoAt(file), std::nullopt, 0);
    };
    const std::vector<std::uint8_t> files[] = {fileBytes(sample("jpeg/progressive_large.jpg")),
                                               sequentialInThreeScans()};
    for (const std::vector<std::uint8_t>& whole : files) {
        SCOPED_TRACE(whole.size());
        const std::size_t cut = secondScan(whole);
        ASSERT_LT(cut, whole.size());
        EXPECT_TRUE(strict(whole, "whole.jpg"));
        EXPECT_FALSE(strict({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)}, "cut.jpg"));
        EXPECT_TRUE(ImageDecoder::decode(photoAt(folder / "cut.jpg"), std::nullopt, 640));
    }
}

TEST(ImageDecoderTest, AHeaderClaimingAHugePictureIsRefusedBeforeDecoding) {
    std::vector<std::uint8_t> bytes = fileBytes(sample("jpeg/orientation/landscape_1.jpg"));
    // The baseline frame header: FF C0, length, precision, height, width.
    std::size_t frame = 2;
    while (frame + 9 < bytes.size() && !(bytes[frame] == 0xFF && bytes[frame + 1] == 0xC0))
        ++frame;
    ASSERT_LT(frame + 9, bytes.size());
    for (std::size_t i : {frame + 5, frame + 7}) {
        bytes[i] = 0xEA; // 60000
        bytes[i + 1] = 0x60;
    }
    EXPECT_FALSE(ImageDecoder::decode(bytes, 100000));
    EXPECT_FALSE(ImageDecoder::decode(bytes, 800));
}

// A JPEG beyond the decoder's file limit gives nothing, and the reason is that it is too large, not
// its content: so is a file beyond the RAW reader's larger limit. A missing file gives the
// system's error; a file that opens, none.
TEST(ImageDecoderTest, AFileBeyondTheLimitIsToldAsTooLarge) {
    test::TemporaryFolder folder;
    std::ifstream in(sample("jpeg/iceland_srgb_untagged_nikon_d800e.jpg"), std::ios::binary);
    const std::string jpeg{std::istreambuf_iterator<char>(in), {}};
    for (const std::uintmax_t size : {ImageDecoder::kMaxFileBytes + 1, std::uintmax_t{1100} << 20}) {
        const auto file = folder / ("huge-" + std::to_string(size) + ".jpg");
        test::hostile::writeSparse(file, jpeg, size);
        EXPECT_EQ(ImageDecoder::decode(photoAt(file), std::nullopt, 256), nullptr) << size;
        EXPECT_EQ(ImageDecoder::whyUnreadable(photoAt(file), std::nullopt), std::errc::file_too_large)
            << size;
    }
    test::hostile::writeSparse(folder / "limit.jpg", jpeg, ImageDecoder::kMaxFileBytes);
    EXPECT_FALSE(ImageDecoder::whyUnreadable(photoAt(folder / "limit.jpg"), std::nullopt));
    EXPECT_FALSE(ImageDecoder::whyUnreadable(photoAt(sample("corrupt/fuzz_bad_restart_marker_sony.jpg")),
                                             std::nullopt));
    EXPECT_EQ(ImageDecoder::whyUnreadable(photoAt(folder / "gone.jpg"), std::nullopt),
              std::errc::no_such_file_or_directory);
}

TEST(ImageDecoderTest, BytesThatAreNoPictureGiveNothing) {
    const std::vector<std::uint8_t> junk{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0xFF, 0xD9};
    EXPECT_FALSE(ImageDecoder::decode(junk, 100));
    std::vector<std::uint8_t> heifHeader{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0};
    EXPECT_FALSE(ImageDecoder::decode(heifHeader, 100));
    EXPECT_FALSE(ImageDecoder::decode(std::vector<std::uint8_t>{}, 100));
}

} // namespace
} // namespace sorvin
