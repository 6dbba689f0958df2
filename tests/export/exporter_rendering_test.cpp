#include "export/export_error.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "export/exporter_rendering.hpp"
#include "loading/exif_formatter.hpp"
#include "loading/exif_reader.hpp"
#include "loading/image_decoder.hpp"
#include "model/mask_kind_catalog.hpp"
#include "platform/jpeg_encoder.hpp"
#include "platform/srgb_profile.hpp"
#include "support/damaged_files.hpp"
#include "support/raw_samples.hpp"
#include "support/screen_picture.hpp"
#include "support/test_parameters.hpp"
#include "support/test_support.hpp"

#include <cmath>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <libheif/heif.h>
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
                                                  Exporter::fileDecoder());
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
    const auto decoded = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    EXPECT_TRUE(std::equal(a.data(), a.data() + a.byteCount(), decoded->data()));
}

// A shrinking export may develop a picture decoded at half scale: it must end at the size a
// full-size decode gives and look the same, edits and crops included. Detail stages, fine
// rotations, odd sides and outputs near the half size take the full size.
TEST(ExporterRenderingTest, AShrinkingExportLooksLikeItsFullSizeRendering) {
    PhotoParameters toned;
    toned.setValue(25, PhotoParameter::exposure);
    toned.setValue(30, PhotoParameter::contrast);
    toned.setValue(-30, PhotoParameter::vignette_amount);
    PhotoParameters detailed = toned;
    detailed.setValue(30, PhotoParameter::texture);
    detailed.setValue(60, PhotoParameter::sharpen_amount);
    PhotoParameters grainy = toned;
    grainy.setValue(25, PhotoParameter::grain_amount);
    PhotoParameters maskDetailed = toned;
    const int mask = *maskDetailed.appendMask(MaskKind::circular());
    maskDetailed.setValue(40, PhotoParameter::circular_mask_amount, ParameterEditTarget::mask(mask));
    maskDetailed.setValue(50, PhotoParameter::clarity, ParameterEditTarget::mask(mask));
    PhotoParameters lens;
    lens.setValue(30, PhotoParameter::geometry_distortion);
    ManualCrop portrait;
    portrait.aspect = CropAspect::ratio(4, 5);
    portrait.sizeP = 70;
    portrait.xM = 1234;
    portrait.yM = 2001;
    struct Case {
        const char* sample;
        int orientation;
        double rotation;
        ManualCrop crop;
        PhotoParameters params;
        int limit;
        bool halfScale;
    };
    for (const Case& c : {Case{"jpeg/nikon_d40_orient6.jpg", 6, 0, {}, {}, 1000, true},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 90, {}, toned, 1024, true},
                          Case{"jpeg/iphone5_orient3.jpg", 3, -90, {}, lens, 1300, true},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 0, {}, detailed, 1024, false},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 0, {}, maskDetailed, 1024, false},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 3.5, {}, toned, 1024, false},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 0, portrait, toned, 600, true},
                          Case{"jpeg/iphone5_orient3.jpg", 3, 90, portrait, grainy, 650, true},
                          Case{"jpeg/nikon_d40_orient6.jpg", 6, 0, {}, toned, 1300, false},
                          Case{"jpeg/progressive_large.jpg", 1, 0, {}, toned, 333, false}}) {
        SCOPED_TRACE(std::string(c.sample) + " " + std::to_string(c.limit));
        const Photo photo = photoAt(c.sample, PhotoFileFormat::jpeg, 0, 0, c.orientation);
        int askedFor = -1;
        const auto reduced = Exporter::renderEditedImageAndMetadata(
            photo, c.rotation, c.crop, c.params, std::nullopt, c.limit,
            [&](const Photo& p, PhotoSource source, int minimumLongEdge) {
                askedFor = std::max(askedFor, minimumLongEdge);
                return ImageDecoder::decodeAtLeast(p, source, minimumLongEdge);
            });
        const auto full =
            Exporter::renderEditedImageAndMetadata(photo, c.rotation, c.crop, c.params, std::nullopt, c.limit,
                                                   [](const Photo& p, PhotoSource source, int) {
                                                       return ImageDecoder::decodeAtLeast(p, source, 0);
                                                   });
        ASSERT_TRUE(reduced.rendered && full.rendered);
        EXPECT_EQ(askedFor > 0, c.halfScale);
        const Image& a = *reduced.rendered->image;
        const Image& b = *full.rendered->image;
        ASSERT_EQ(a.width(), b.width());
        ASSERT_EQ(a.height(), b.height());
        EXPECT_EQ(std::max(a.width(), a.height()), c.limit);
        EXPECT_GT(test::psnr(a, b), 40);
    }
}

// The batch export of a flat grey JPEG draws each mask where the screen does, for every framing.
TEST(ExporterRenderingTest, AnExportedFileShowsTheMasksWhereTheScreenDoes) {
    test::TemporaryFolder root;
    const SharedImage grey = test::flatGrey(600, 400);
    {
        std::ofstream out(root / "grey.jpg", std::ios::binary);
        out << *JpegEncoder::encode(*grey, 95, {}, {});
    }
    const Photo photo = [&] {
        Photo p = photoAt("grey.jpg", PhotoFileFormat::jpeg, 600, 400);
        p.url = root / "grey.jpg";
        return p;
    }();
    const SharedImage decoded = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    ASSERT_TRUE(decoded);
    int case_ = 0;
    for (const test::Framing& framing : test::framings()) {
        for (const auto& [shape, parameters] :
             {std::pair{"circle", test::strongCircle()}, {"band", test::narrowBand()}}) {
            SCOPED_TRACE(std::string(framing.name) + ", " + shape);
            ExportRequest request;
            request.photos = {photo};
            request.rotations[photo.relativePath] = framing.rotation;
            request.crops[photo.relativePath] = framing.crop;
            request.params[photo.relativePath] = parameters;
            request.destination = root / "out" / std::to_string(case_++);
            request.applicationSupportRoot = root / "support";
            fs::create_directories(request.destination);
            request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, true, false, false};
            const ExportResult result = Exporter::exportPhotos(request);
            ASSERT_TRUE(result.failures.empty()) << result.failures[0].reason;
            Photo output = photoAt("grey.jpg", PhotoFileFormat::jpeg, 0, 0);
            output.url = request.destination / "grey.jpg";
            const SharedImage exported = Exporter::fileDecoder()(output, PhotoSource::jpeg, 0);
            const SharedImage screen =
                test::screenPicture(decoded, parameters, framing.rotation, framing.crop);
            ASSERT_TRUE(exported && screen);
            ASSERT_EQ(exported->width(), screen->width());
            ASSERT_EQ(exported->height(), screen->height());
            const double distance = test::outlineDistance(*exported, *screen, test::halfwayLevel(*screen));
            RecordProperty(std::string("outline_px_") + std::to_string(case_), std::to_string(distance));
            EXPECT_LE(distance, 2.0);
        }
    }
}

// Every stage that takes a size or a place from the whole photo (detail radii, grain cells, the
// vignette's frame) gives the cropped export what the screen shows of the crop.
TEST(ExporterRenderingTest, ACroppedExportLooksLikeTheScreensCrop) {
    const Photo photo =
        photoAt("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", PhotoFileFormat::jpeg, 600, 400);
    const SharedImage decoded = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    using test::withValues;
    const ManualCrop half{CropAspect::original(), 50, 7000, 2500};
    // A vignette set only in a mask that weighs 1 everywhere.
    const PhotoParameters maskVignette =
        test::withMask(MaskKind::linear(), {{PhotoParameter::linear_mask_amount, 100},
                                            {PhotoParameter::linear_mask_position, 0},
                                            {PhotoParameter::linear_mask_width, 0},
                                            {PhotoParameter::vignette_amount, 90}});
    struct Case {
        const char* name;
        PhotoParameters parameters;
        double rotation;
        ManualCrop crop;
        bool flat; // on a flat grey photo, so that only the vignette differs
    };
    const Case cases[] = {
        {"clarity", withValues({{PhotoParameter::clarity, 80}}), 0, half, false},
        {"texture", withValues({{PhotoParameter::texture, 80}}), 0, half, false},
        {"grain", withValues({{PhotoParameter::grain_amount, 60}, {PhotoParameter::grain_size, 30}}), 0, half,
         false},
        {"vignette turned",
         withValues({{PhotoParameter::vignette_amount, 90}, {PhotoParameter::vignette_roundness, -100}}), -5,
         ManualCrop{CropAspect::ratio(7, 3), 70, 9000, 1000}, true},
        {"vignette in a mask", maskVignette, 0, ManualCrop{CropAspect::ratio(1, 1), 70, 0, 10000}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SharedImage source = c.flat ? test::flatGrey(600, 400) : decoded;
        const auto rendered = Exporter::renderEditedImageAndMetadata(
            photo, c.rotation, c.crop, c.parameters, std::nullopt, std::nullopt,
            [&](const Photo&, PhotoSource, int) { return source; });
        const SharedImage screen = test::screenPicture(source, c.parameters, c.rotation, c.crop);
        ASSERT_TRUE(rendered.rendered && screen);
        const Image& exported = *rendered.rendered->image;
        ASSERT_EQ(exported.width(), screen->width());
        ASSERT_EQ(exported.height(), screen->height());
        const double decibels = test::psnr(exported, *screen);
        RecordProperty(std::string("psnr_dB_") + c.name, std::to_string(decibels));
        EXPECT_GE(decibels, 40);
    }
}

// Under whole quarter turns an export holds the screen's very pixels, whatever stage reads the
// pixels around a pixel, with or without a crop: the photo is developed upright and turned after,
// as the screen turns its development.
TEST(ExporterRenderingTest, AQuarterTurnedExportHoldsTheScreensPixels) {
    const Photo photo =
        photoAt("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", PhotoFileFormat::jpeg, 600, 400);
    const SharedImage decoded = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    ASSERT_TRUE(decoded);
    const ManualCrop crop{CropAspect::ratio(4, 5), 70, 2500, 7000};
    for (const auto& [stage, parameters] : test::detailStages())
        for (const auto& [rotation, framing] : {std::pair{90.0, ManualCrop{}}, {-90.0, crop}, {90.0, crop}}) {
            SCOPED_TRACE(stage + " turned " + std::to_string(rotation));
            const auto rendered = Exporter::renderEditedImageAndMetadata(
                photo, rotation, framing, parameters, std::nullopt, std::nullopt,
                [&](const Photo&, PhotoSource, int) { return decoded; });
            const SharedImage screen = test::screenPicture(decoded, parameters, rotation, framing);
            ASSERT_TRUE(rendered.rendered && screen);
            EXPECT_EQ(test::differingPixels(*rendered.rendered->image, *screen), 0);
        }
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

// A missing file is missing, not damaged; a damaged one is damaged.
TEST(ExporterRenderingTest, MissingSourcesFailAsMissingAndDamagedOnesAsCorruptFiles) {
    for (const char* sample :
         {"jpeg/missing.jpg", "corrupt/corrupt_header.jpg", "corrupt/truncated_leica_m10.dng"}) {
        const Photo photo = photoAt(
            sample, fs::path(sample).extension() == ".dng" ? PhotoFileFormat::raw : PhotoFileFormat::jpeg,
            100, 100);
        const auto result = render(photo, 0, {}, {}, std::nullopt, std::nullopt);
        EXPECT_FALSE(result.rendered) << sample;
        if (std::string_view(sample) == "jpeg/missing.jpg")
            EXPECT_EQ(result.error, std::errc::no_such_file_or_directory);
        else
            EXPECT_EQ(result.error, ExportErrc::fileReadCorruptFile) << sample;
    }
}

// A file damaged after its header is refused by the export's decode, whatever its kind, while
// the screen still shows what it can of a JPEG; every sample photo, whole, still renders.
TEST(ExporterRenderingTest, ADamagedSourceFailsAsACorruptFileAndEverySampleStillRenders) {
    const test::TemporaryFolder folder;
    PhotoParameters edited;
    edited.setValue(15, PhotoParameter::exposure);
    const auto formatOf = [](const std::string& sample) {
        return sample.starts_with("raw/")    ? PhotoFileFormat::raw
               : sample.starts_with("heif/") ? PhotoFileFormat::heif
                                             : PhotoFileFormat::jpeg;
    };
    std::vector<test::damaged::Damage> damages = test::damaged::jpegDamages();
    for (const auto& other : test::damaged::otherDamages())
        damages.push_back(other);
    for (const test::damaged::Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const fs::path file = folder / fs::path(damage.sample).filename();
        test::damaged::write(damage, file);
        const PhotoFileFormat format = formatOf(damage.sample);
        Photo photo = photoAt(damage.sample, format, 100, 100);
        photo.url = file;
        for (const std::optional<int> limit : {std::optional<int>(), std::optional<int>(256)}) {
            const auto result = render(photo, 0, {}, edited, std::nullopt, limit);
            EXPECT_FALSE(result.rendered);
            EXPECT_EQ(result.error, ExportErrc::fileReadCorruptFile);
        }
        if (format == PhotoFileFormat::jpeg) {
            EXPECT_TRUE(ImageDecoder::decode(photo, std::nullopt, 512)) << "the screen shows what it can";
        }
    }

    for (const char* kind : {"jpeg", "heif", "raw"}) {
        for (const auto& entry : fs::recursive_directory_iterator(test::sample(kind))) {
            if (!entry.is_regular_file()) continue;
            SCOPED_TRACE(entry.path().string());
            const std::string sample = fs::relative(entry.path(), test::samplesDir()).string();
            const auto result = render(photoAt(sample, formatOf(sample), 100, 100), 0, {}, edited, std::nullopt, 256);
            EXPECT_TRUE(result.rendered);
        }
    }
}

TEST(ExporterRenderingTest, AGivenUpDevelopmentIsReportedAsCancelledNotAsADamagedFile) {
    const Photo photo =
        photoAt("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", PhotoFileFormat::jpeg, 600, 400);
    PhotoParameters edited;
    edited.setValue(40, PhotoParameter::contrast);
    const auto result = Exporter::renderEditedImageAndMetadata(
        photo, 0, {}, edited, std::nullopt, std::nullopt, Exporter::fileDecoder(), [] { return true; });
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

// The metadata of an encoded output. exiv2 0.27 reads JPEG files fully but not the metadata items
// of HEIF files written by libheif, so those are taken out with libheif and parsed by exiv2.
struct Metadata {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

// The text of one key, empty when the data lack it.
template <typename Data, typename Key>
std::string textOf(const Data& data, const Key& key) {
    const auto found = data.findKey(key);
    return found == data.end() ? std::string() : found->toString();
}

Metadata metadataOf(const std::string& bytes, ExportImageFormat format) {
    Metadata metadata;
    if (format == ExportImageFormat::jpeg) {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                               static_cast<long>(bytes.size()));
        image->readMetadata();
        return {image->exifData(), image->xmpData(), image->iptcData()};
    }
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    const auto block = [&](const char* type) {
        heif_item_id id = 0;
        if (heif_image_handle_get_list_of_metadata_block_IDs(handle, type, &id, 1) != 1) return std::string();
        std::string data(heif_image_handle_get_metadata_size(handle, id), '\0');
        heif_image_handle_get_metadata(handle, id, data.data());
        return data;
    };
    const std::string exif = block("Exif").substr(4); // after the offset of the TIFF header
    Exiv2::ExifParser::decode(metadata.exif, reinterpret_cast<const Exiv2::byte*>(exif.data()),
                              static_cast<std::uint32_t>(exif.size()));
    Exiv2::XmpParser::decode(metadata.xmp, block("mime"));
    heif_image_handle_release(handle);
    heif_context_free(context);
    return metadata;
}

// Every RAW sample's export names the camera that the EXIF panel names for the RAW file, in both
// formats, also where the file keeps it outside IFD0 (an RW2's own IFD, a DNG's
// UniqueCameraModel): read back as the panel reads a file.
TEST(ExporterRenderingTest, EveryRawExportNamesTheCameraThePanelNames) {
    test::TemporaryFolder root;
    const auto camera = [](const fs::path& file, PhotoFileFormat format) {
        Photo photo;
        photo.url = file;
        photo.fileFormat = format;
        const ExifMetadata metadata = ExifReader::read(photo, std::nullopt);
        return ExifFormatter::camera(metadata.make, metadata.model);
    };
    for (const auto& raw : test::listedRawSamples()) {
        SCOPED_TRACE(raw.filename().string());
        const std::string shown = camera(raw, PhotoFileFormat::raw);
        EXPECT_NE(shown, ExifFormatter::kMissing);
        const RenderedEditedImage rendered{makeImage(PixelBuffer(60, 40)), raw};
        for (const auto format : {ExportImageFormat::jpeg, ExportImageFormat::heif}) {
            if (format == ExportImageFormat::heif && !Exporter::supportsOutput(format)) continue;
            const auto bytes = Exporter::encodedImage(rendered, format);
            ASSERT_TRUE(bytes);
            const fs::path output = root / (raw.stem().string() + "." + std::string(traitsOf(format).fileExtension));
            std::ofstream(output, std::ios::binary) << *bytes;
            EXPECT_EQ(camera(output, format == ExportImageFormat::jpeg ? PhotoFileFormat::jpeg : PhotoFileFormat::heif),
                      shown);
        }
    }
}

// A photographer's keywords, rating, copyright and camera data survive re-encoding to either
// format; only what no longer holds changes.
TEST(ExporterRenderingTest, AReencodedOutputKeepsThePhotographersMetadata) {
    test::TemporaryFolder root;
    const auto source = root / "tagged.jpg";
    std::filesystem::copy_file(test::sample("jpeg/nikon_d40_orient6.jpg"), source);
    {
        auto image = Exiv2::ImageFactory::open(source.string());
        image->readMetadata();
        Exiv2::XmpData& xmp = image->xmpData();
        Exiv2::Value::AutoPtr keywords = Exiv2::Value::create(Exiv2::xmpBag);
        keywords->read("Iceland");
        keywords->read("glacier");
        xmp.add(Exiv2::XmpKey("Xmp.dc.subject"), keywords.get());
        xmp["Xmp.xmp.Rating"] = "4";
        xmp["Xmp.tiff.Orientation"] = "6";
        image->iptcData()["Iptc.Application2.Copyright"] = "(C) A. Photographer";
        image->writeMetadata();
    }
    PixelBuffer pixels(60, 40);
    const RenderedEditedImage rendered{makeImage(std::move(pixels)), source};
    for (const auto format : {ExportImageFormat::jpeg, ExportImageFormat::heif}) {
        if (format == ExportImageFormat::heif && !Exporter::supportsOutput(format)) continue;
        SCOPED_TRACE(static_cast<int>(format));
        const auto bytes = Exporter::encodedImage(rendered, format);
        ASSERT_TRUE(bytes);
        const Metadata output = metadataOf(*bytes, format);
        const auto exifText = [&](const char* key) { return textOf(output.exif, Exiv2::ExifKey(key)); };
        EXPECT_EQ(exifText("Exif.Image.Orientation"), "1");
        EXPECT_EQ(exifText("Exif.Photo.PixelXDimension"), "60");
        EXPECT_EQ(exifText("Exif.Photo.PixelYDimension"), "40");
        EXPECT_EQ(exifText("Exif.Image.Model"), "NIKON D40");
        EXPECT_NE(exifText("Exif.Nikon3.ISOSpeed"), "");
        EXPECT_EQ(exifText("Exif.Thumbnail.JPEGInterchangeFormat"), "");
        EXPECT_EQ(exifText("Exif.NikonPreview.JPEGInterchangeFormat"), "");

        const auto xmpText = [&](const char* key) { return textOf(output.xmp, Exiv2::XmpKey(key)); };
        EXPECT_EQ(xmpText("Xmp.dc.subject"), "Iceland, glacier");
        EXPECT_EQ(xmpText("Xmp.xmp.Rating"), "4");
        EXPECT_EQ(xmpText("Xmp.tiff.Orientation"), "1");
        EXPECT_EQ(xmpText("Xmp.dc.creator"), "Phil Askey");
        if (format == ExportImageFormat::jpeg) {
            EXPECT_EQ(textOf(output.iptc, Exiv2::IptcKey("Iptc.Application2.Copyright")),
                      "(C) A. Photographer");
            EXPECT_EQ(textOf(output.iptc, Exiv2::IptcKey("Iptc.Application2.Byline")), "Phil Askey");
        } else { // no place for IPTC in HEIF: its values are in the XMP
            EXPECT_EQ(xmpText("Xmp.dc.rights"), "lang=\"x-default\" (C) A. Photographer");
        }
    }
}

// The ICC profile embedded in an encoded output; empty when there is none.
std::string profileOf(const std::string& bytes, ExportImageFormat format) {
    if (format == ExportImageFormat::jpeg) {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                               static_cast<long>(bytes.size()));
        image->readMetadata();
        const Exiv2::DataBuf* icc = image->iccProfile();
        return icc && icc->size_ > 0 ? std::string(reinterpret_cast<const char*>(icc->pData_), icc->size_)
                                     : std::string();
    }
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    std::string icc(heif_image_handle_get_raw_color_profile_size(handle), '\0');
    if (!icc.empty()) heif_image_handle_get_raw_color_profile(handle, icc.data());
    heif_image_handle_release(handle);
    heif_context_free(context);
    return icc;
}

// One edit exported twice gives the same file in either format, with our sRGB profile (whose date
// is fixed, ColorProfileTest) rather than one dated by the moment of the export.
TEST(ExporterRenderingTest, OneEditExportedTwiceGivesTheSameBytesWithOurProfile) {
    const Photo photo = photoAt("jpeg/nikon_d40_orient6.jpg", PhotoFileFormat::jpeg, 3008, 2000, 6);
    PhotoParameters params;
    params.setValue(30, PhotoParameter::exposure);
    for (const auto format : {ExportImageFormat::jpeg, ExportImageFormat::heif}) {
        if (format == ExportImageFormat::heif && !Exporter::supportsOutput(format)) continue;
        SCOPED_TRACE(static_cast<int>(format));
        std::vector<std::string> outputs;
        for (int run = 0; run < 2; ++run) {
            auto rendering = render(photo, 2.5, {}, params, std::nullopt, 300);
            ASSERT_TRUE(rendering.rendered);
            const auto bytes = Exporter::encodedImage(std::move(*rendering.rendered), format);
            ASSERT_TRUE(bytes);
            outputs.push_back(*bytes);
        }
        EXPECT_TRUE(outputs[0] == outputs[1]);
        EXPECT_TRUE(profileOf(outputs[0], format) == SrgbProfile::iccBytes());
    }
}

} // namespace
} // namespace sorvin
