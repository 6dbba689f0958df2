#include "export/exporter_rendering.hpp"

#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/raw_developer.hpp"
#include "export/export_error.hpp"
#include "export/export_long_edge.hpp"
#include "export/exporter_reencode.hpp"
#include "loading/image_decoder.hpp"
#include "model/development_placement.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_rotation.hpp"
#include "platform/app_identity.hpp"
#include "platform/exif_writer.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/image_properties.hpp"
#include "platform/image_region.hpp"
#include "platform/jpeg_encoder.hpp"
#include "platform/lanczos_resampler.hpp"
#include "platform/srgb_profile.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin::Exporter {

namespace {

bool hasGeometry(const PhotoParameters& params) {
    const auto values = GeometryValues::of(params);
    return values.distortion != 0 || values.chromaticRed != 0 || values.chromaticBlue != 0 ||
           values.perspectiveVertical != 0 || values.perspectiveHorizontal != 0 || values.aspect != 0 ||
           values.zoom != 0;
}

// An export that only shrinks need not decode its JPEG at full size: the DCT's half scale gives a
// picture of a quarter of the pixels that every later stage works on, and each stage works in
// proportion to the picture's size. The result has exactly the size a full-size decode gives and
// differs from it only by resampling (above 40 dB on real photos) as long as the half picture maps
// onto the full one exactly (even sides, quarter turns only: the rounding of a fine rotation's
// edges at half scale would shift the picture by part of a pixel; a crop is cut to the whole
// pixels around it and its exact place given to the last resize) and that resize still reduces
// it by a fifth or more. The detail stages (texture, clarity, sharpening, noise reduction) would
// sharpen what the two ways resample differently, so a photo developed with them, in its global
// values or in a mask, is decoded at full size; the smaller DCT scales leave blocks and aliasing
// that the last resize cannot undo.
struct ReducedDecode {
    int minimumLongEdge = 0; // what the decoder is asked for: the half scale's long edge
    PixelSize upright;       // the full-size picture, upright
    ManualCropGeometry cut;  // the crop at full size
    PixelSize output;        // the size a full-size decode would give in the end
};

constexpr double kLeastFinalReduction = 1.25;

std::optional<ReducedDecode> reducedDecodeFor(const PhotoAsset& asset, double rotation,
                                              const ManualCrop& crop, const PhotoParameters& params,
                                              std::optional<int> maximumLongEdge) {
    if (!maximumLongEdge || asset.fileFormat == PhotoFileFormat::raw ||
        ParameterAdjustment::readsNeighbours(params, MaskKindCatalog::current()))
        return std::nullopt;
    const auto properties = ImagePropertiesReader::readJpeg(asset.url);
    if (!properties || properties->pixelWidth < 2 || properties->pixelHeight < 2 ||
        properties->pixelWidth % 2 != 0 || properties->pixelHeight % 2 != 0)
        return std::nullopt;
    const long orientation = properties->orientation.value_or(1);
    const bool turned = orientation >= 5 && orientation <= 8;
    const PixelSize upright = turned ? PixelSize{properties->pixelHeight, properties->pixelWidth}
                                     : PixelSize{properties->pixelWidth, properties->pixelHeight};
    if (!PhotoRotation::isNone(PhotoRotation::decomposed(rotation).residual)) return std::nullopt;
    const PixelSize rotated = PhotoRotation::outputSize(upright.width, upright.height, rotation);
    const ManualCropGeometry cut = crop.geometry(rotated.width, rotated.height);
    if (cut.width < 1 || cut.height < 1) return std::nullopt;
    const PixelSize output = ExportLongEdge::outputSize(cut.width, cut.height, *maximumLongEdge);
    if (std::max(output.width, output.height) * 2 * kLeastFinalReduction > std::max(cut.width, cut.height))
        return std::nullopt;
    return ReducedDecode{std::max(upright.width, upright.height) / 2, upright, cut, output};
}

struct DecodedPicture {
    SharedImage image;
    std::optional<ReducedDecode> reduced; // set when the picture is the half-scale one
};

// What is developed of the turned photo: the crop, with as much of the photo around it as the
// development reads there, and where the crop lies in it.
struct DevelopedPart {
    SharedImage image;
    std::optional<DevelopmentPlacement> placement; // none: the part is the whole photo and the crop
    LanczosResampler::SourceWindow window;         // the crop, in the part's pixels
    bool isCrop = false;                           // the window is the whole part
};

// The pixels [x, right) x [y, bottom) of the photo turned from its upright size, holding the crop
// `picture` (in the turned photo's pixels).
DevelopedPart partOf(const SharedImage& turned, PixelSize upright, double rotation, int x, int y, int right,
                     int bottom, const Rect& picture) {
    DevelopedPart part;
    part.window = {picture.x - x, picture.y - y, picture.width, picture.height};
    part.isCrop = part.window.x == 0 && part.window.y == 0 && part.window.width == right - x &&
                  part.window.height == bottom - y;
    const bool whole = x == 0 && y == 0 && right == turned->width() && bottom == turned->height();
    part.image = whole ? turned : ImageRegion::copy(turned, x, y, right - x, bottom - y);
    if (!whole || !part.isCrop || !PlaneTurn::of(rotation).isNone()) {
        const Rect rect{static_cast<double>(x), static_cast<double>(y), static_cast<double>(right - x),
                        static_cast<double>(bottom - y)};
        part.placement =
            DevelopmentPlacement::ofTurnedPart(upright.width, upright.height, rotation, rect, picture);
    }
    return part;
}

// The crop of the full-size picture and the `margin` around it, as far as the turned picture goes.
DevelopedPart fullSizePart(const SharedImage& turned, PixelSize upright, double rotation,
                           const ManualCrop& crop, int margin) {
    const ManualCropGeometry g = crop.geometry(turned->width(), turned->height());
    return partOf(turned, upright, rotation, std::max(0, g.x - margin), std::max(0, g.y - margin),
                  std::min(turned->width(), g.x + g.width + margin),
                  std::min(turned->height(), g.y + g.height + margin),
                  Rect{static_cast<double>(g.x), static_cast<double>(g.y), static_cast<double>(g.width),
                       static_cast<double>(g.height)});
}

// The crop of the full-size picture taken from the half-scale one: the whole pixels that hold it
// (it lies half a pixel in when it starts on an odd pixel at full size).
DevelopedPart halfScalePart(const SharedImage& turned, PixelSize upright, double rotation,
                            const ManualCropGeometry& cut) {
    return partOf(turned, upright, rotation, cut.x / 2, cut.y / 2, (cut.x + cut.width + 1) / 2,
                  (cut.y + cut.height + 1) / 2,
                  Rect{cut.x / 2.0, cut.y / 2.0, cut.width / 2.0, cut.height / 2.0});
}

// The developed part cut to its crop and reduced to the long-edge limit.
SharedImage finishedPicture(const SharedImage& developed, const DevelopedPart& part,
                            std::optional<PixelSize> reducedOutput, std::optional<int> maximumLongEdge) {
    if (reducedOutput)
        return LanczosResampler::resized(developed, part.window, reducedOutput->width, reducedOutput->height);
    if (part.isCrop) return ExportLongEdge::resizedImage(developed, maximumLongEdge);
    const int width = static_cast<int>(part.window.width), height = static_cast<int>(part.window.height);
    const PixelSize output = maximumLongEdge ? ExportLongEdge::outputSize(width, height, *maximumLongEdge)
                                             : PixelSize{width, height};
    if (output.width == width && output.height == height)
        return ImageRegion::copy(developed, static_cast<int>(part.window.x), static_cast<int>(part.window.y),
                                 width, height);
    return LanczosResampler::resized(developed, part.window, output.width, output.height);
}

DecodedPicture decodedUpright(const Photo& photo, PhotoSource source, const PhotoParameters& params,
                              double rotation, const ManualCrop& crop, std::optional<int> maximumLongEdge,
                              const ExportImageDecoder& decode) {
    const PhotoAsset asset = photo.asset(source);
    if (asset.fileFormat == PhotoFileFormat::raw) {
        RawDevelopmentRequest request;
        request.photoIdentifier = photo.relativePath;
        request.asset = asset;
        request.parameters = params;
        request.damagedData = DamagedData::refused;
        const auto developed = RawDeveloper::develop(request);
        return {developed ? developed->image : nullptr, std::nullopt};
    }
    if (!decode) return {};
    if (const auto reduced = reducedDecodeFor(asset, rotation, crop, params, maximumLongEdge)) {
        SharedImage image = decode(photo, source, reduced->minimumLongEdge);
        if (image && image->width() * 2 == reduced->upright.width &&
            image->height() * 2 == reduced->upright.height)
            return {std::move(image), reduced};
        if (image && image->width() == reduced->upright.width && image->height() == reduced->upright.height)
            return {std::move(image), std::nullopt};
        // The file is not what its header said a moment ago: the plain way below.
    }
    return {decode(photo, source, 0), std::nullopt};
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
        DecodedPicture decoded =
            decodedUpright(photo, chosen, params, rotation, crop, maximumLongEdge, decode);
        SharedImage image = std::move(decoded.image);
        if (!image) return failed();
        if (hasGeometry(params)) {
            image = GeometryAdjustment::applying(image, params, true, isCancelled);
            if (!image) return failed();
        }
        // Every stage of the development reads places and sizes on the whole photo, upright and
        // unturned, as the screen develops it before turning and cropping it.
        const PixelSize upright{image->width(), image->height()};
        image = PhotoRotation::transformedImage(image, rotation);
        if (!image) return failed();
        const int margin = decoded.reduced
                               ? 0
                               : ParameterAdjustment::reach(params, std::max(upright.width, upright.height),
                                                            MaskKindCatalog::current());
        DevelopedPart part = decoded.reduced ? halfScalePart(image, upright, rotation, decoded.reduced->cut)
                                             : fullSizePart(image, upright, rotation, crop, margin);
        image = nullptr; // the turned picture is freed when only a part of it is developed
        if (!part.image) return failed();
        image = ParameterAdjustment::applying(part.image, params, part.placement, MaskKindCatalog::current(),
                                              isCancelled);
        part.image = nullptr;
        if (!image) return failed();
        image = finishedPicture(
            image, part, decoded.reduced ? std::optional<PixelSize>(decoded.reduced->output) : std::nullopt,
            maximumLongEdge);
        if (!image) return failed();
        return ExportRendering{RenderedEditedImage{std::move(image), photo.asset(chosen).url}, {}};
    } catch (const std::exception&) { // out of memory in a stage that does not catch it itself
        return failed();
    }
}

std::optional<std::string> encodedImage(RenderedEditedImage rendered, ExportImageFormat format) {
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
        return HeifEncoder::encode(std::move(rendered.image), quality, metadata.exif, SrgbProfile::iccBytes(),
                                   metadata.xmp);
    }
    return std::nullopt;
}

ExportImageDecoder fileDecoder() {
    return [](const Photo& photo, PhotoSource source, int minimumLongEdge) {
        return ImageDecoder::decodeAtLeast(photo, source, minimumLongEdge);
    };
}

} // namespace sorvin::Exporter
