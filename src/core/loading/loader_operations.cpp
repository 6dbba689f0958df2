#include "loading/loader_operations.hpp"

#include "engine/display_adjustment_resolution.hpp"
#include "loading/image_decoder.hpp"
#include "model/random_parameter_adjustment.hpp"

namespace sorvin {

namespace {

PixelSize sizeOf(const SharedImage& image) {
    return {image->width(), image->height()};
}

// Lens geometry, the finished picture's place, development, with the operations' common rules: a
// failed geometry pass ends the work without a report (outer none), a failed development is
// reported (inner null).
std::optional<SharedImage> developPreview(const SharedImage& image, const PhotoParameters& parameters,
                                          double rotation, const ManualCrop& crop,
                                          const PreviewDevelopment::Develop& develop,
                                          const CancellationProbe& isCancelled) {
    const SharedImage corrected = PreviewDevelopment::withLensGeometry(image, parameters, isCancelled);
    if (!corrected) return std::nullopt;
    const auto placement =
        PreviewDevelopment::placement(corrected->width(), corrected->height(), rotation, crop);
    return develop(corrected, parameters, placement, isCancelled);
}

// The operation's RAW development stops with the operation.
RawDevelopmentRequest stoppable(RawDevelopmentRequest request, const CancellationProbe& isCancelled) {
    request.isCancelled = isCancelled;
    return request;
}

} // namespace

std::optional<ImageDecodeOperation::Report>
ImageDecodeOperation::run(const CancellationProbe& isCancelled) const {
    if (isCancelled()) return std::nullopt;
    Report report;
    report.image = decoder ? decoder(photo, source, maximumPixelSize)
                           : ImageDecoder::decode(photo, source, maximumPixelSize, isCancelled);
    if (isCancelled()) return std::nullopt;
    if (!report.image) report.failure = ImageDecoder::whyUnreadable(photo, source);
    return report;
}

DisplayRequest ParameterOperation::displayRequest() const {
    return {cacheKey, parameters, rotation, crop, source ? sizeOf(source) : PixelSize{}, targetLongEdge};
}

std::optional<SharedImage> ParameterOperation::run(const CancellationProbe& isCancelled) const {
    if (isCancelled() || !source) return std::nullopt;
    const DisplayResizeCacheKey key{cacheKey.path, cacheKey.source, source->width(), source->height(),
                                    targetLongEdge};
    const auto resize = [&] { return DisplayAdjustmentResolution::resized(source, targetLongEdge); };
    const SharedImage resized = resizeCache ? resizeCache->image(key, resize) : resize();
    if (!resized || isCancelled()) return std::nullopt;
    auto developed = developPreview(resized, parameters, rotation, crop, develop, isCancelled);
    if (!developed || isCancelled()) return std::nullopt;
    return developed;
}

DisplayRequest RawParameterOperation::displayRequest() const {
    // A RAW preview's size is fixed, whatever the screen; the development's own size is not known
    // before it is made.
    return {cacheKey, parameters, rotation, crop, PixelSize{}, LoaderLimits::kRawPreviewLongEdge};
}

std::optional<RawParameterOperation::Report>
RawParameterOperation::run(const CancellationProbe& isCancelled) const {
    if (isCancelled()) return std::nullopt;
    const RawDevelopmentRequest stopping = stoppable(request, isCancelled);
    std::optional<RawDevelopmentResult> result =
        pastCache ? cache->developWithoutCaching(stopping) : cache->result(stopping);
    if (!result || !result->image) {
        if (isCancelled()) return std::nullopt;
        return Report{};
    }
    if (isCancelled()) return std::nullopt;
    auto developed = developPreview(result->image, parameters, rotation, crop, develop, isCancelled);
    if (!developed || isCancelled()) return std::nullopt;
    return Report{std::move(result), std::move(*developed)};
}

std::optional<FullResolutionRawOperation::Report>
FullResolutionRawOperation::run(const CancellationProbe& isCancelled) const {
    if (isCancelled()) return std::nullopt;
    std::optional<RawDevelopmentResult> result = development(stoppable(request, isCancelled));
    if (result && !result->image) result.reset();
    if (isCancelled()) return std::nullopt;
    return Report{std::move(result)};
}

std::optional<OriginalPreviewOperation::Report>
OriginalPreviewOperation::run(const CancellationProbe& isCancelled) const {
    if (isCancelled()) return std::nullopt;
    const PhotoParameters unedited = originalPhotoParameters(parameters);
    SharedImage image;
    PixelSize sourceSize;
    if (key.source == PhotoSource::raw) {
        RawDevelopmentRequest request{photo.relativePath,
                                      photo.asset(PhotoSource::raw),
                                      unedited,
                                      LoaderLimits::kRawPreviewLongEdge,
                                      rawDevelopmentSupportStore,
                                      isCancelled};
        // Past the cache: the development of the photo as edited must stay there.
        const auto result = rawDevelopmentCache->developWithoutCaching(request);
        if (isCancelled()) return std::nullopt;
        if (!result || !result->image) return Report{};
        image = result->image;
        sourceSize = sizeOf(image);
    } else {
        if (!sourceImage) return Report{};
        image = DisplayAdjustmentResolution::resized(sourceImage, targetLongEdge);
        if (!image) return Report{};
        sourceSize = sizeOf(sourceImage);
    }
    if (isCancelled()) return std::nullopt;
    const SharedImage corrected = PreviewDevelopment::withLensGeometry(image, unedited, isCancelled);
    if (!corrected) return std::nullopt;
    const SharedImage developed = develop(corrected, unedited, std::nullopt, isCancelled);
    if (!developed || isCancelled()) return std::nullopt;
    return Report{OriginalPreviewCacheEntry{key, developed, sourceSize, targetLongEdge}};
}

} // namespace sorvin
