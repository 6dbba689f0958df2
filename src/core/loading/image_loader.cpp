#include "loading/image_loader.hpp"

#include "engine/raw_developer.hpp"
#include "engine/raw_development_settings.hpp"
#include "loading/image_loader_scheduling.hpp"
#include "platform/app_identity.hpp"
#include "platform/memory_return.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

PixelSize sizeOf(const SharedImage& image) {
    return image ? PixelSize{image->width(), image->height()} : PixelSize{};
}

bool hasNothingToDevelop(const PhotoParameters& parameters) {
    return parameters.values.isEmpty() && parameters.masks.empty();
}

// A neighbour's display-ready image being made for exactly this request becomes its render.
template <typename Preparations, typename Render>
bool takeOverPreparation(Preparations& preparations, Render& render, const DisplayRequest& request) {
    const auto preparing = std::ranges::find_if(
        preparations, [&](const auto& p) { return p.work->displayRequest() == request; });
    if (preparing == preparations.end()) return false;
    render = std::move(*preparing);
    preparations.erase(preparing);
    return true;
}

template <typename T>
std::shared_ptr<T> orFresh(std::shared_ptr<T> given) {
    return given ? std::move(given) : std::make_shared<T>();
}

} // namespace

ImageLoader::ImageLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Setup setup)
    : mainQueue_(mainQueue), lowMemoryMode_(setup.lowMemoryMode),
      displayResizeCache_(std::make_shared<DisplayResizeCache>()),
      rawDevelopmentCache_(orFresh(std::move(setup.rawDevelopmentCache))),
      rawDevelopmentSupportStore_(orFresh(std::move(setup.rawDevelopmentSupportStore))),
      fullResolutionRawCache_(orFresh(std::move(setup.fullResolutionRawCache))),
      fullResolutionRawDevelopment_(setup.fullResolutionRawDevelopment
                                        ? std::move(setup.fullResolutionRawDevelopment)
                                        : RawDevelopment(&RawDeveloper::develop)),
      originalPreviewCache_(orFresh(std::move(setup.originalPreviewCache))),
      decoder_(std::move(setup.decoder)),
      develop_(setup.develop ? std::move(setup.develop) : PreviewDevelopment::engine()),
      displayQueue_(executor, AppIdentity::QueueName::imageLoader(), kDisplayQueueWidth),
      fullResolutionQueue_(executor, AppIdentity::QueueName::fullResolutionLoader(), 1),
      parameterQueue_(executor, AppIdentity::QueueName::parameters(), 1),
      preparationQueue_(executor, AppIdentity::QueueName::parameters() + ".neighbours", 1),
      displayReady_(lowMemoryMode_ ? kLowMemoryDisplayReadyCapacity : kDisplayReadyCapacity),
      self_(std::make_shared<ImageLoader*>(this)) {}

ImageLoader::~ImageLoader() {
    self_.reset();
    displayQueue_.cancelAllOperations();
    fullResolutionQueue_.cancelAllOperations();
    parameterQueue_.cancelAllOperations();
    preparationQueue_.cancelAllOperations();
}

void ImageLoader::bumpRevision() {
    ++revision_;
    revisionChanged.emit();
}

void ImageLoader::notifyAvailability() {
    if (availabilityChanged) availabilityChanged();
}

std::optional<int> ImageLoader::displayTargetLongEdge(int sourceLongEdge, double photoAreaLongEdge,
                                                      double backingScaleFactor, double zoomScale) {
    const auto usable = [](double v) { return std::isfinite(v) && v > 0; };
    if (!usable(photoAreaLongEdge) || !usable(backingScaleFactor) || !usable(zoomScale) || sourceLongEdge < 1)
        return std::nullopt;
    // Limited to the source before it becomes an integer, so a huge zoom cannot overflow.
    const double rounded = 32.0 * std::ceil(photoAreaLongEdge * backingScaleFactor * zoomScale / 32.0);
    return std::max(1, static_cast<int>(std::min(rounded, static_cast<double>(sourceLongEdge))));
}

// --- The match test ---

bool ImageLoader::parameterStateMatches(const std::string& path, PhotoSource source,
                                        const PhotoParameters& parameters, double rotation,
                                        const ManualCrop& crop) const {
    const ParameterImageSnapshot& s = parameterState_;
    return s.cacheKey && s.cacheKey->path == path && s.cacheKey->source == source && s.values == parameters &&
           s.rotation == rotation && s.crop == crop;
}

bool ImageLoader::parameterStateMatches(const std::string& path, PhotoSource source,
                                        const PhotoParameters& parameters, double rotation,
                                        const ManualCrop& crop, const SharedImage& sourceImage) const {
    return parameterStateMatches(path, source, parameters, rotation, crop) &&
           parameterState_.sourceSize == sizeOf(sourceImage);
}

// --- Images for the views ---

SharedImage ImageLoader::image(const Photo& photo, std::optional<PhotoSource> source,
                               bool preferFullResolution) {
    const PhotoSource resolved = photo.resolvedSource(source);
    if (resolved == PhotoSource::raw) {
        const auto developed = rawDevelopmentCache_->cachedResult(photo.relativePath);
        return developed ? developed->image : nullptr;
    }
    const ImageCacheKey key{photo.relativePath, resolved};
    if (preferFullResolution) {
        if (auto full = fullResolutionCache_.value(key)) return *full;
    }
    if (auto display = displayCache_.value(key)) return *display;
    return nullptr;
}

SharedImage ImageLoader::adjustedImage(const Photo& photo, const PhotoParameters& parameters,
                                       std::optional<PhotoSource> source, double rotation,
                                       const ManualCrop& crop, bool preferFullResolution) {
    const PhotoSource resolved = photo.resolvedSource(source);
    const std::string& path = photo.relativePath;
    if (resolved == PhotoSource::raw) {
        if (parameterStateMatches(path, resolved, parameters, rotation, crop) && parameterState_.image)
            return parameterState_.image;
        const auto developed = rawDevelopmentCache_->cachedResult(
            RawDevelopmentCacheKey{path, RawDevelopmentSettings(parameters)});
        return developed ? developed->image : nullptr;
    }
    SharedImage decoded = image(photo, resolved, preferFullResolution);
    if (!decoded || hasNothingToDevelop(parameters)) return decoded;
    if (parameterStateMatches(path, resolved, parameters, rotation, crop, decoded) && parameterState_.image)
        return parameterState_.image;
    return decoded;
}

bool ImageLoader::isDisplayReady(const Photo& photo, PhotoSource source, const PhotoParameters& parameters,
                                 double rotation, const ManualCrop& crop, bool preferFullResolution) {
    const std::string& path = photo.relativePath;
    if (source == PhotoSource::raw) {
        return rawDevelopmentCache_->cachedResult(
                   RawDevelopmentCacheKey{path, RawDevelopmentSettings(parameters)}) &&
               parameterStateMatches(path, source, parameters, rotation, crop) && parameterState_.image;
    }
    const SharedImage decoded = image(photo, source, preferFullResolution);
    if (!decoded) return false;
    if (hasNothingToDevelop(parameters)) return true;
    return parameterStateMatches(path, source, parameters, rotation, crop, decoded) && parameterState_.image;
}

// --- The developed image of the current photo ---

void ImageLoader::requestParameters(const Photo& photo, const PhotoParameters& parameters,
                                    std::optional<PhotoSource> source, double rotation,
                                    const ManualCrop& crop, bool preferFullResolution,
                                    double photoAreaLongEdge, double backingScaleFactor, double zoomScale) {
    const PhotoSource resolved = photo.resolvedSource(source);
    const std::string& path = photo.relativePath;
    const ImageCacheKey key{path, resolved};

    // While the prepared original shows, the developed image waits in the snapshot.
    if (originalPreviewUsesCache_ && originalPreviewSnapshot_ && originalPreviewSnapshot_->cacheKey == key &&
        originalPreviewSnapshot_->values == parameters && originalPreviewSnapshot_->rotation == rotation &&
        originalPreviewSnapshot_->crop == crop && originalPreviewSnapshot_->image)
        return;

    if (resolved == PhotoSource::raw) {
        requestRawParameters(photo, parameters, rotation, crop);
        return;
    }
    if (hasNothingToDevelop(parameters)) {
        clearParameterImage();
        return;
    }
    const SharedImage sourceImage = image(photo, resolved, preferFullResolution);
    if (!sourceImage) {
        // The old development of this photo stays until its decode arrives.
        if (parameterState_.cacheKey == key) return;
        clearParameterImage();
        return;
    }
    const auto target = displayTargetLongEdge(std::max(sourceImage->width(), sourceImage->height()),
                                              photoAreaLongEdge, backingScaleFactor, zoomScale);
    if (!target) return;
    if (parameterStateMatches(path, resolved, parameters, rotation, crop, sourceImage) &&
        parameterState_.targetLongEdge == *target && parameterState_.image)
        return;
    const DisplayRequest request{key, parameters, rotation, crop, sizeOf(sourceImage), *target};
    if (parameterOperation_ && parameterOperation_->work->displayRequest() == request) return;
    if (publishPrepared(request)) return;
    // A RAW render queued here goes too, and is forgotten: nothing it reports could be shown.
    cancelParameterRenders();

    if (!(parameterState_.cacheKey == key && parameterState_.sourceSize == request.sourceSize))
        parameterState_.image = nullptr;
    parameterState_.cacheKey = key;
    parameterState_.values = parameters;
    parameterState_.rotation = rotation;
    parameterState_.crop = crop;
    parameterState_.sourceSize = request.sourceSize;
    parameterState_.targetLongEdge = *target;

    if (takeOverPreparation(preparations_, parameterOperation_, request)) return;
    parameterOperation_ = enqueue(parameterQueue_,
                                  ParameterOperation{nextID(), key, parameters, rotation, crop, sourceImage,
                                                     *target, displayResizeCache_, develop_},
                                  &ImageLoader::parameterRendered);
}

// A step onto a neighbour whose display-ready image is there only publishes that image.
bool ImageLoader::publishPrepared(const DisplayRequest& request) {
    DisplayReadyImage ready = displayReady_.take(request);
    if (!ready.image) return false;
    cancelParameterRenders();
    PixelSize sourceSize = request.sourceSize;
    if (ready.development) {
        // The shown photo's RAW development is the cache's entry, as if it had been made there.
        sourceSize = sizeOf(ready.development->image);
        rawDevelopmentCache_->store({request.key.path, RawDevelopmentSettings(request.parameters)},
                                    std::move(*ready.development));
    }
    parameterState_ = {std::move(ready.image), request.key, request.parameters,    request.rotation,
                       request.crop,           sourceSize,  request.targetLongEdge};
    bumpRevision();
    // Reported as a finished render is, from the main queue, not from inside the request.
    std::weak_ptr<ImageLoader*> weakSelf = self_;
    mainQueue_.post([weakSelf] {
        if (const auto self = weakSelf.lock()) (**self).notifyAvailability();
    });
    return true;
}

void ImageLoader::parameterRendered(const ParameterOperation& work, SharedImage developed) {
    if (!parameterOperation_ || parameterOperation_->work->id != work.id) return;
    if (!parameterStateMatches(work.cacheKey.path, work.cacheKey.source, work.parameters, work.rotation,
                               work.crop, work.source) ||
        parameterState_.targetLongEdge != work.targetLongEdge)
        return;
    parameterOperation_.reset();
    if (!developed) return; // the previous image, if any, stays
    parameterState_.image = std::move(developed);
    bumpRevision();
    notifyAvailability();
}

void ImageLoader::requestRawParameters(const Photo& photo, const PhotoParameters& parameters, double rotation,
                                       const ManualCrop& crop) {
    const std::string& path = photo.relativePath;
    const ImageCacheKey key{path, PhotoSource::raw};
    const RawDevelopmentCacheKey rawKey{path, RawDevelopmentSettings(parameters)};
    RawParameterOperation work{0,
                               key,
                               rawKey,
                               {path, photo.asset(PhotoSource::raw), parameters,
                                LoaderLimits::kRawPreviewLongEdge, rawDevelopmentSupportStore_},
                               parameters,
                               rotation,
                               crop,
                               rawDevelopmentCache_,
                               develop_};
    const DisplayRequest request = work.displayRequest();

    if (parameterStateMatches(path, PhotoSource::raw, parameters, rotation, crop) &&
        rawDevelopmentCache_->cachedResult(rawKey) && parameterState_.image)
        return;
    if (rawParameterOperation_) {
        const RawParameterOperation& running = *rawParameterOperation_->work;
        if (running.cacheKey == key && running.rawCacheKey == rawKey && running.parameters == parameters &&
            running.rotation == rotation && running.crop == crop)
            return;
    }
    // The very request that just failed is not started again: the failure stays on record for the
    // controller's fall-back to the JPEG, and the availability call that reported it does not set
    // off the same development over and over. Other values, or another visit, try again.
    if (failures_.contains(key) && parameterStateMatches(path, PhotoSource::raw, parameters, rotation, crop))
        return;
    if (publishPrepared(request)) {
        failures_.erase(key);
        return;
    }
    cancelParameterRenders();

    // The previous development stays on screen while the new one renders, but only one of this
    // photo: another photo's picture is never shown in its place.
    if (!parameterState_.cacheKey || parameterState_.cacheKey->path != path) parameterState_.image = nullptr;
    parameterState_.cacheKey = key;
    parameterState_.values = parameters;
    parameterState_.rotation = rotation;
    parameterState_.crop = crop;
    parameterState_.sourceSize = {};
    parameterState_.targetLongEdge = LoaderLimits::kRawPreviewLongEdge;
    failures_.erase(key);

    if (takeOverPreparation(rawPreparations_, rawParameterOperation_, request)) return;
    work.id = nextID();
    rawParameterOperation_ = enqueue(parameterQueue_, std::move(work), &ImageLoader::rawParameterRendered);
}

void ImageLoader::rawParameterRendered(const RawParameterOperation& work,
                                       RawParameterOperation::Report report) {
    if (!rawParameterOperation_ || rawParameterOperation_->work->id != work.id) return;
    if (!parameterStateMatches(work.cacheKey.path, work.cacheKey.source, work.parameters, work.rotation,
                               work.crop))
        return;
    if (RawDevelopmentCacheKey{work.cacheKey.path, RawDevelopmentSettings(parameterState_.values)} !=
        work.rawCacheKey)
        return;
    rawParameterOperation_.reset();
    if (report.result && report.developed) {
        // A neighbour's development, taken over by the step onto it, enters the cache only now.
        if (work.pastCache) rawDevelopmentCache_->store(work.rawCacheKey, *report.result);
        parameterState_.sourceSize = sizeOf(report.result->image);
        parameterState_.image = std::move(report.developed);
    } else {
        failures_.insert_or_assign(work.cacheKey, std::error_code());
    }
    bumpRevision();
    notifyAvailability();
}

void ImageLoader::cancelParameterRenders() {
    if (parameterOperation_) parameterOperation_->cancel();
    if (rawParameterOperation_) rawParameterOperation_->cancel();
    parameterQueue_.cancelAllOperations();
    parameterOperation_.reset();
    rawParameterOperation_.reset();
}

void ImageLoader::clearParameterImage() {
    const bool hadSomething =
        parameterOperation_ || rawParameterOperation_ || parameterState_.image || parameterState_.cacheKey;
    cancelParameterRenders();
    if (originalPreviewOperation_) originalPreviewOperation_->cancel();
    originalPreviewOperation_.reset();
    parameterState_ = {};
    if (hadSomething) bumpRevision();
}

void ImageLoader::clearRawDevelopmentCache() {
    if (rawParameterOperation_) rawParameterOperation_->cancel();
    rawParameterOperation_.reset();
    rawDevelopmentCache_->removeAll();
}

// Every queue stopped, every image and piece of work forgotten; failures and the revision are
// left to the caller.
void ImageLoader::forgetEverything() {
    displayQueue_.cancelAllOperations();
    fullResolutionQueue_.cancelAllOperations();
    parameterQueue_.cancelAllOperations();
    preparationQueue_.cancelAllOperations();
    preparations_.clear();
    rawPreparations_.clear();
    neighbours_.clear();
    displayReady_.clear();
    displayCache_.removeAll();
    fullResolutionCache_.removeAll();
    displayResizeCache_->clear();
    displayOperations_.clear();
    fullResolutionOperations_.clear();
    fullResolutionWaiting_.reset();
    cancelParameterRenders();
    if (fullResolutionRawOperation_) fullResolutionRawOperation_->cancel();
    fullResolutionRawOperation_.reset();
    if (originalPreviewOperation_) originalPreviewOperation_->cancel();
    originalPreviewOperation_.reset();
    parameterState_ = {};
    originalPreviewSnapshot_.reset();
    originalPreviewContext_.reset();
    originalPreviewUsesCache_ = false;
    originalPreviewCache_->clear();
    rawDevelopmentCache_->removeAll();
    fullResolutionRawCache_->clear();
    MemoryReturn::trim();
}

std::size_t ImageLoader::heldImageBytes() const {
    std::unordered_set<const Image*> counted;
    std::size_t bytes = 0;
    const auto count = [&](const SharedImage& image) {
        if (image && counted.insert(image.get()).second) bytes += image->byteCount();
    };
    displayCache_.forEach(count);
    fullResolutionCache_.forEach(count);
    displayReady_.forEach(count);
    count(displayResizeCache_->storedImage());
    count(parameterState_.image);
    if (originalPreviewSnapshot_) count(originalPreviewSnapshot_->image);
    return bytes;
}

void ImageLoader::cancelAll() {
    forgetEverything();
}

void ImageLoader::setLowMemoryMode(bool enabled) {
    if (enabled == lowMemoryMode_) return;
    forgetEverything();
    failures_.clear();
    lowMemoryMode_ = enabled;
    displayReady_.setCapacity(enabled ? kLowMemoryDisplayReadyCapacity : kDisplayReadyCapacity);
    bumpRevision();
}

} // namespace sorvin
