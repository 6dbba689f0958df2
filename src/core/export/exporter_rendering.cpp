#include "export/exporter_rendering.hpp"

#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/raw_developer.hpp"
#include "export/export_error.hpp"
#include "export/export_long_edge.hpp"
#include "export/exporter_reencode.hpp"
#include "loading/image_decoder.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_edit_geometry.hpp"
#include "model/photo_rotation.hpp"
#include "platform/app_identity.hpp"
#include "platform/exif_writer.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/jpeg_encoder.hpp"
#include "platform/srgb_profile.hpp"

#include <limits>

namespace sorvin::Exporter {

namespace {

bool hasGeometry(const PhotoParameters& params) {
    const auto values = GeometryValues::of(params);
    return values.distortion != 0 || values.chromaticRed != 0 || values.chromaticBlue != 0 ||
           values.perspectiveVertical != 0 || values.perspectiveHorizontal != 0 || values.aspect != 0 ||
           values.zoom != 0;
}

SharedImage decodedUpright(const Photo& photo, PhotoSource source, const PhotoParameters& params,
                           const ExportImageDecoder& decode) {
    const PhotoAsset asset = photo.asset(source);
    if (asset.fileFormat == PhotoFileFormat::raw) {
        RawDevelopmentRequest request;
        request.photoIdentifier = photo.relativePath;
        request.asset = asset;
        request.parameters = params;
        const auto developed = RawDeveloper::develop(request);
        return developed ? developed->image : nullptr;
    }
    return decode ? decode(photo, source) : nullptr;
}

} // namespace

ExportRendering renderEditedImageAndMetadata(const Photo& photo, double rotation, const ManualCrop& crop,
                                             const PhotoParameters& params, std::optional<PhotoSource> source,
                                             std::optional<int> maximumLongEdge,
                                             const ExportImageDecoder& decode,
                                             const CancellationProbe& isCancelled) {
    const auto failed = [&] {
        if (isCancelled && isCancelled())
            return ExportRendering{std::nullopt, std::make_error_code(std::errc::operation_canceled)};
        return ExportRendering{std::nullopt, ExportErrc::fileReadCorruptFile};
    };
    const PhotoSource chosen = effectiveSource(photo, source);
    try {
        SharedImage image = decodedUpright(photo, chosen, params, decode);
        if (!image) return failed();
        if (hasGeometry(params)) {
            image = GeometryAdjustment::applying(image, params, true, isCancelled);
            if (!image) return failed();
        }
        image = PhotoRotation::transformedImage(image, rotation);
        if (!image) return failed();
        image = PhotoEditGeometry::croppedImage(image, crop);
        if (!image) return failed();
        const VignetteFrame frame{(image->width() - 1) / 2.0, (image->height() - 1) / 2.0, image->width(),
                                  image->height(), 0};
        image = ParameterAdjustment::applying(image, params, frame, MaskKindCatalog::current(), isCancelled);
        if (!image) return failed();
        image = ExportLongEdge::resizedImage(image, maximumLongEdge);
        if (!image) return failed();
        return ExportRendering{RenderedEditedImage{std::move(image), photo.asset(chosen).url}, {}};
    } catch (const std::exception&) { // out of memory in a stage that does not catch it itself
        return failed();
    }
}

std::optional<std::string> encodedImage(const RenderedEditedImage& rendered, ExportImageFormat format) {
    const Image& image = *rendered.image;
    const bool isJpeg = format == ExportImageFormat::jpeg;
    const auto metadata = ExifWriter::forRenderedImage(
        rendered.metadataSource, image.width(), image.height(), "Sorvin " + AppIdentity::version(),
        isJpeg ? ExifWriter::Container::jpeg : ExifWriter::Container::heif);
    const int quality = traitsOf(format).quality;
    switch (format) {
    case ExportImageFormat::jpeg:
        return JpegEncoder::encode(image, quality, metadata.exif, SrgbProfile::iccBytes(), metadata.xmp,
                                   metadata.iptc);
    case ExportImageFormat::heif:
        return HeifEncoder::encode(image, quality, metadata.exif, SrgbProfile::iccBytes(), metadata.xmp);
    }
    return std::nullopt;
}

ExportImageDecoder fullSizeDecoder() {
    return [](const Photo& photo, PhotoSource source) {
        return ImageDecoder::decode(photo, source, std::numeric_limits<int>::max());
    };
}

} // namespace sorvin::Exporter
