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
// development reads there, and where the crop lies in it. Under whole quarter turns the part is
// cut from the upright photo and turned once developed, as the screen turns the photo it has
// developed: the detail stages' blurs then round as they do on the screen, whose picture is
// transposed otherwise. A fine turn resamples the photo before the development.
struct DevelopedPart {
    SharedImage image;
    std::optional<DevelopmentPlacement> placement; // none: the part is the whole photo and the crop
    double turnAfter = 0;                          // what turns the developed part onto the turned photo
    LanczosResampler::SourceWindow window;         // the crop, in the turned part's pixels
    bool isCrop = false;                           // the window is the whole part
};

// The pixels `rect` of the photo turned from its upright size, holding the crop `picture` (both in
// the turned photo's pixels). `image` is the upright photo for whole quarter turns, else the
// turned one.
DevelopedPart partOf(const SharedImage& image, PixelSize upright, double rotation, const Rect& rect,
                     const Rect& picture) {
    DevelopedPart part;
    part.window = {picture.x - rect.x, picture.y - rect.y, picture.width, picture.height};
    part.isCrop = part.window.x == 0 && part.window.y == 0 && part.window.width == rect.width &&
                  part.window.height == rect.height;
    const bool quarter = PlaneTurn::of(rotation).isQuarter();
    DevelopmentPlacement placement =
        DevelopmentPlacement::ofTurnedPart(upright.width, upright.height, rotation, rect, picture);
    Rect cut = rect;
    if (quarter) {
        const int width = static_cast<int>(rect.width), height = static_cast<int>(rect.height);
        placement = placement.unturned(width, height);
        const bool across = PhotoRotation::decomposed(rotation).quarterTurns % 2 == 1;
        cut = {placement.origin.x, placement.origin.y, static_cast<double>(across ? height : width),
               static_cast<double>(across ? width : height)};
        part.turnAfter = rotation;
    }
    const int x = static_cast<int>(cut.x), y = static_cast<int>(cut.y);
    const int width = static_cast<int>(cut.width), height = static_cast<int>(cut.height);
    const bool whole = x == 0 && y == 0 && width == image->width() && height == image->height();
    part.image = whole ? image : ImageRegion::copy(image, x, y, width, height);
    if (!whole || !part.isCrop || !quarter) part.placement = placement;
    return part;
}

// The crop of the full-size picture and the `margin` around it, as far as the turned picture goes.
DevelopedPart fullSizePart(const SharedImage& image, PixelSize upright, double rotation,
                           const ManualCrop& crop, int margin) {
    const PixelSize turned = PhotoRotation::outputSize(upright.width, upright.height, rotation);
    const ManualCropGeometry g = crop.geometry(turned.width, turned.height);
    const int x = std::max(0, g.x - margin), y = std::max(0, g.y - margin);
    const int right = std::min(turned.width, g.x + g.width + margin);
    const int bottom = std::min(turned.height, g.y + g.height + margin);
    return partOf(image, upright, rotation,
                  Rect{static_cast<double>(x), static_cast<double>(y), static_cast<double>(right - x),
                       static_cast<double>(bottom - y)},
                  Rect{static_cast<double>(g.x), static_cast<double>(g.y), static_cast<double>(g.width),
                       static_cast<double>(g.height)});
}

// The crop of the full-size picture taken from the half-scale one: the whole pixels that hold it
// (it lies half a pixel in when it starts on an odd pixel at full size).
DevelopedPart halfScalePart(const SharedImage& image, PixelSize upright, double rotation,
                            const ManualCropGeometry& cut) {
    const int x = cut.x / 2, y = cut.y / 2;
    return partOf(image, upright, rotation,
                  Rect{static_cast<double>(x), static_cast<double>(y),
                       static_cast<double>((cut.x + cut.width + 1) / 2 - x),
                       static_cast<double>((cut.y + cut.height + 1) / 2 - y)},
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

// Why a source gave no picture when its content is not to blame: the system's error when the file
// cannot be opened (deleted meanwhile, its mount gone), fileReadTooLarge beyond the decoder's
// limit; none otherwise.
std::error_code failureBeforeContent(const Photo& photo, PhotoSource source) {
    const std::error_code error = ImageDecoder::whyUnreadable(photo, source);
    if (error == std::errc::file_too_large) return ExportErrc::fileReadTooLarge;
    if (error == std::errc::invalid_argument) return {}; // no regular file: nothing a photo is made of
    return error;
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
        if (!image) {
            // A file that cannot be reached, or is too large, is not damaged.
            if (auto failure = failureBeforeContent(photo, chosen);
                failure && !(isCancelled && isCancelled()))
                return ExportRendering{std::nullopt, failure};
            return failed();
        }
        if (hasGeometry(params)) {
            image = GeometryAdjustment::applying(image, params, true, isCancelled);
            if (!image) return failed();
        }
        // Every stage of the development reads places and sizes on the whole photo, upright and
        // unturned, as the screen develops it before turning and cropping it.
        const PixelSize upright{image->width(), image->height()};
        if (!PlaneTurn::of(rotation).isQuarter()) {
            image = PhotoRotation::transformedImage(image, rotation);
            if (!image) return failed();
        }
        const int margin = decoded.reduced
                               ? 0
                               : ParameterAdjustment::reach(params, std::max(upright.width, upright.height),
                                                            MaskKindCatalog::current());
        DevelopedPart part = decoded.reduced ? halfScalePart(image, upright, rotation, decoded.reduced->cut)
                                             : fullSizePart(image, upright, rotation, crop, margin);
        image = nullptr; // the photo is freed when only a part of it is developed
        if (!part.image) return failed();
        image = ParameterAdjustment::applying(part.image, params, part.placement, MaskKindCatalog::current(),
                                              isCancelled);
        part.image = nullptr;
        if (!image) return failed();
        image = PhotoRotation::transformedImage(image, part.turnAfter);
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
