#include "export/export_error.hpp"
#include "export/exporter.hpp"
#include "export/exporter_rendering.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <turbojpeg.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

Photo photoAt(const std::string& sample, PhotoFileFormat format, int width, int height, int orientation = 1) {
    Photo photo;
    photo.url = test::sample(sample);
    photo.relativePath = fs::path(sample).filename().string();
    photo.fileFormat = format;
    photo.pixelWidth = width;
    photo.pixelHeight = height;
    photo.orientation = orientation;
    return photo;
}

ExportRendering render(const Photo& photo, double rotation, const ManualCrop& crop,
                       const PhotoParameters& params, std::optional<PhotoSource> source,
                       std::optional<int> limit) {
    return Exporter::renderEditedImageAndMetadata(photo, rotation, crop, params, source, limit,
                                                  Exporter::fullSizeDecoder());
}

TEST(ExporterRenderingTest, APortraitFileIsTurnedUprightThenRotatedCroppedAndReduced) {
    const Photo photo = photoAt("jpeg/orientation/landscape_6.jpg", PhotoFileFormat::jpeg, 1200, 1800, 6);
    const auto upright = render(photo, 0, {}, {}, std::nullopt, std::nullopt);
    ASSERT_TRUE(upright.rendered) << upright.error.message();
    EXPECT_EQ(upright.rendered->image->width(), 1800);
    EXPECT_EQ(upright.rendered->image->height(), 1200);
    EXPECT_EQ(upright.rendered->metadataSource, photo.url);

    ManualCrop square;
    square.aspect = CropAspect::ratio(1, 1);
    const auto edited = render(photo, 90, square, {}, PhotoSource::jpeg, 300);
    ASSERT_TRUE(edited.rendered);
    EXPECT_EQ(edited.rendered->image->width(), 300);
    EXPECT_EQ(edited.rendered->image->height(), 300);

    const auto reduced = render(photo, 0, {}, {}, PhotoSource::jpeg, 256);
    EXPECT_EQ(reduced.rendered->image->width(), 256);
    EXPECT_EQ(reduced.rendered->image->height(), 171);
}

TEST(ExporterRenderingTest, DevelopmentChangesThePixelsAndNoGeometryLeavesThemAsDecoded) {
    const Photo photo =
        photoAt("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", PhotoFileFormat::jpeg, 600, 400);
    const auto plain = render(photo, 0, {}, {}, std::nullopt, std::nullopt);
    PhotoParameters brighter;
    brighter.setValue(60, PhotoParameter::exposure);
    const auto developed = render(photo, 0, {}, brighter, std::nullopt, std::nullopt);
    ASSERT_TRUE(plain.rendered && developed.rendered);
    const auto& a = *plain.rendered->image;
    const auto& b = *developed.rendered->image;
    ASSERT_EQ(a.byteCount(), b.byteCount());
    long sumA = 0, sumB = 0;
    for (std::size_t i = 0; i < a.byteCount(); i += 4) {
        sumA += a.data()[i + 1];
        sumB += b.data()[i + 1];
    }
    EXPECT_GT(sumB, sumA + static_cast<long>(a.byteCount() / 4) * 5);
    const auto decoded = Exporter::fullSizeDecoder()(photo, PhotoSource::jpeg);
    EXPECT_TRUE(std::equal(a.data(), a.data() + a.byteCount(), decoded->data()));
}

TEST(ExporterRenderingTest, HeifWithoutASourceIsDecodedAsItselfAndRawFilesAreDeveloped) {
    const Photo heif = photoAt("heif/iphone8_gps.heic", PhotoFileFormat::heif, 4032, 3024);
    const auto fromHeif = render(heif, 0, {}, {}, std::nullopt, 512);
    ASSERT_TRUE(fromHeif.rendered);
    EXPECT_EQ(fromHeif.rendered->image->width(), 512);
    EXPECT_EQ(fromHeif.rendered->image->height(), 384);

    const Photo raw = photoAt("raw/canon_eos_6d_linear_lossy.dng", PhotoFileFormat::raw, 1224, 816);
    const auto developed = render(raw, 0, {}, {}, std::nullopt, 400);
    ASSERT_TRUE(developed.rendered);
    EXPECT_EQ(developed.rendered->image->width(), 400);
    EXPECT_EQ(developed.rendered->metadataSource, raw.url);
}

TEST(ExporterRenderingTest, MissingOrUnreadableSourcesFailAsCorruptFiles) {
    for (const char* sample :
         {"jpeg/missing.jpg", "corrupt/corrupt_header.jpg", "corrupt/truncated_leica_m10.dng"}) {
        const Photo photo = photoAt(
            sample, fs::path(sample).extension() == ".dng" ? PhotoFileFormat::raw : PhotoFileFormat::jpeg,
            100, 100);
        const auto result = render(photo, 0, {}, {}, std::nullopt, std::nullopt);
        EXPECT_FALSE(result.rendered) << sample;
        EXPECT_EQ(result.error, ExportErrc::fileReadCorruptFile) << sample;
    }
}

TEST(ExporterRenderingTest, AGivenUpDevelopmentIsReportedAsCancelledNotAsADamagedFile) {
    const Photo photo =
        photoAt("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", PhotoFileFormat::jpeg, 600, 400);
    PhotoParameters edited;
    edited.setValue(40, PhotoParameter::contrast);
    const auto result = Exporter::renderEditedImageAndMetadata(
        photo, 0, {}, edited, std::nullopt, std::nullopt, Exporter::fullSizeDecoder(), [] { return true; });
    EXPECT_FALSE(result.rendered);
    EXPECT_EQ(result.error, std::errc::operation_canceled);
}

TEST(ExporterRenderingTest, AReencodedExportIsAnUprightJpegWithOrientationOne) {
    test::TemporaryFolder root;
    ExportRequest request;
    request.photos = {photoAt("jpeg/orientation/landscape_6.jpg", PhotoFileFormat::jpeg, 1200, 1800, 6)};
    request.destination = root.path();
    request.applicationSupportRoot = root / "support";
    request.burnInOrientation = true;
    request.maximumLongEdge = 600;
    request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, false, false, false};
    const ExportResult result = Exporter::exportPhotos(request);
    ASSERT_TRUE(result.failures.empty()) << result.failures[0].reason;
    const std::string bytes = [&] {
        std::ifstream in(root / "landscape_6.jpg", std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    }();
    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    ASSERT_EQ(tjDecompressHeader3(decoder, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                  &width, &height, &subsampling, &colorspace),
              0);
    tjDestroy(decoder);
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 400);
    // EXIF orientation 1 in the new file: little-endian tag 0x0112, type 3, count 1, value 1.
    EXPECT_NE(bytes.find(std::string("\x12\x01\x03\x00\x01\x00\x00\x00\x01\x00", 10)), std::string::npos);
    EXPECT_NE(bytes.find("Sorvin "), std::string::npos);
}

} // namespace
} // namespace sorvin
