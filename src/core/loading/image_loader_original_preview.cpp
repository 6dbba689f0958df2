#include "engine/raw_development_settings.hpp"
#include "loading/image_loader.hpp"
#include "loading/image_loader_scheduling.hpp"
#include "model/random_parameter_adjustment.hpp"

#include <algorithm>

namespace sorvin {

OriginalPreviewCacheKey ImageLoader::OriginalPreviewContext::key() const {
    return OriginalPreviewCacheKey{
        .relativePath = photo.relativePath,
        .source = source,
        .rotation = rotation,
        .crop = crop,
        .geometryValues = OriginalPreviewCacheKey::geometryValuesOf(parameters),
        .rawSettings =
            source == PhotoSource::raw ? RawDevelopmentSettings(parameters) : RawDevelopmentSettings(),
    };
}

void ImageLoader::recordOriginalPreviewContext(const Photo& photo, const PhotoParameters& parameters,
                                               PhotoSource source, double rotation, const ManualCrop& crop,
                                               bool preferFullResolution, double photoAreaLongEdge,
                                               double backingScaleFactor, double zoomScale) {
    OriginalPreviewContext context{photo,
                                   parameters,
                                   source,
                                   rotation,
                                   crop,
                                   preferFullResolution,
                                   photoAreaLongEdge,
                                   backingScaleFactor,
                                   zoomScale};
    if (!originalPreviewContext_ || originalPreviewContext_->key() != context.key()) {
        if (originalPreviewOperation_) originalPreviewOperation_->cancel();
        originalPreviewOperation_.reset();
        originalPreviewCache_->clear();
    }
    originalPreviewContext_ = std::move(context);
}

void ImageLoader::prepareOriginalPreview(const Photo& photo, const PhotoParameters& parameters,
                                         PhotoSource source, double rotation, const ManualCrop& crop,
                                         bool preferFullResolution, double photoAreaLongEdge,
                                         double backingScaleFactor, double zoomScale) {
    recordOriginalPreviewContext(photo, parameters, source, rotation, crop, preferFullResolution,
                                 photoAreaLongEdge, backingScaleFactor, zoomScale);
    const OriginalPreviewCacheKey key = originalPreviewContext_->key();
    if (originalPreviewCache_->value(key)) return;
    if (originalPreviewOperation_ && originalPreviewOperation_->work->key == key) return;

    SharedImage sourceImage;
    int target = LoaderLimits::kRawPreviewLongEdge;
    if (source != PhotoSource::raw) {
        sourceImage = image(photo, source, preferFullResolution);
        if (!sourceImage) return;
        const auto displayTarget =
            displayTargetLongEdge(std::max(sourceImage->width(), sourceImage->height()), photoAreaLongEdge,
                                  backingScaleFactor, zoomScale);
        if (!displayTarget) return;
        target = *displayTarget;
    }
    if (originalPreviewOperation_) originalPreviewOperation_->cancel();
    // Shares the display queue's slots with the decodes.
    originalPreviewOperation_ =
        enqueue(displayQueue_,
                OriginalPreviewOperation{nextID(), key, photo, parameters, sourceImage, target,
                                         rawDevelopmentCache_, rawDevelopmentSupportStore_, develop_},
                &ImageLoader::originalPreviewRendered);
}

void ImageLoader::originalPreviewRendered(const OriginalPreviewOperation& work,
                                          OriginalPreviewOperation::Report report) {
    if (!originalPreviewOperation_ || originalPreviewOperation_->work->id != work.id) return;
    originalPreviewOperation_.reset();
    // Shown only by beginOriginalPreview, so nothing is redrawn here.
    if (report.entry && originalPreviewContext_ && originalPreviewContext_->key() == report.entry->key)
        originalPreviewCache_->store(std::move(*report.entry));
}

void ImageLoader::beginOriginalPreview() {
    if (originalPreviewSnapshot_) return;
    originalPreviewSnapshot_ = parameterState_;
    cancelParameterRenders();
    const auto entry =
        originalPreviewContext_ ? originalPreviewCache_->value(originalPreviewContext_->key()) : std::nullopt;
    if (entry) {
        const OriginalPreviewContext& context = *originalPreviewContext_;
        parameterState_ = ParameterImageSnapshot{
            .image = entry->image,
            .cacheKey = ImageCacheKey{context.photo.relativePath, context.source},
            .values = originalPhotoParameters(context.parameters),
            .rotation = context.rotation,
            .crop = context.crop,
            .sourceSize = entry->sourceSize,
            .targetLongEdge = entry->targetLongEdge,
        };
        originalPreviewUsesCache_ = true;
    } else {
        // The undeveloped image shows until the next request renders the original.
        originalPreviewUsesCache_ = false;
        parameterState_ = {};
    }
    bumpRevision();
}

void ImageLoader::endOriginalPreview() {
    if (!originalPreviewSnapshot_) return;
    cancelParameterRenders();
    const ParameterImageSnapshot& saved = *originalPreviewSnapshot_;
    if (!originalPreviewUsesCache_ && saved.cacheKey && saved.cacheKey->source == PhotoSource::raw) {
        // The fallback render developed the original into the RAW cache.
        rawDevelopmentCache_->removeResult(RawDevelopmentCacheKey{
            saved.cacheKey->path, RawDevelopmentSettings(originalPhotoParameters(saved.values))});
    }
    parameterState_ = std::move(*originalPreviewSnapshot_);
    originalPreviewSnapshot_.reset();
    originalPreviewUsesCache_ = false;
    bumpRevision();
}

void ImageLoader::discardOriginalPreview() {
    if (originalPreviewOperation_) originalPreviewOperation_->cancel();
    originalPreviewOperation_.reset();
    originalPreviewContext_.reset();
    originalPreviewCache_->clear();
}

} // namespace sorvin
