#include "engine/raw_development_settings.hpp"
#include "loading/image_loader.hpp"
#include "loading/image_loader_scheduling.hpp"
#include "loading/prefetch_planner.hpp"

#include <algorithm>
#include <limits>

namespace sorvin {

namespace {

// The source prefetching decodes for: a RAW companion only when chosen; a lone RAW file is RAW.
PhotoSource chosenSource(const Photo& photo, const std::unordered_map<std::string, PhotoSource>& sources) {
    if (!photo.hasRawCompanion()) return photo.resolvedSource(std::nullopt);
    const auto found = sources.find(photo.relativePath);
    return found != sources.end() && found->second == PhotoSource::raw ? PhotoSource::raw : PhotoSource::jpeg;
}

int longEdge(const PhotoAsset& asset) {
    return std::max(asset.pixelWidth, asset.pixelHeight);
}

// Whether the preparation that reported is still listed; it leaves the list.
template <typename Preparations, typename Work>
bool leavesList(Preparations& preparations, const Work& work) {
    const auto found =
        std::ranges::find_if(preparations, [&](const auto& p) { return p.work->id == work.id; });
    if (found == preparations.end()) return false;
    preparations.erase(found);
    return true;
}

} // namespace

void ImageLoader::prefetch(const std::vector<Photo>& photos, int current,
                           const std::unordered_map<std::string, PhotoSource>& sources,
                           std::optional<int> direction) {
    const int count = static_cast<int>(std::min<std::size_t>(photos.size(), std::numeric_limits<int>::max()));
    const std::vector<int> planned = PrefetchPlanner::indices(count, current, direction);

    std::unordered_set<ImageCacheKey> wanted;
    for (int index : planned) {
        const Photo& photo = photos[static_cast<std::size_t>(index)];
        wanted.insert({photo.relativePath, chosenSource(photo, sources)});
    }
    std::erase_if(displayOperations_, [&](const auto& entry) {
        if (wanted.contains(entry.first)) return false;
        entry.second.cancel();
        return true;
    });

    for (int index : planned) {
        const Photo& photo = photos[static_cast<std::size_t>(index)];
        // RAW sources are developed, not decoded.
        if (chosenSource(photo, sources) == PhotoSource::raw) continue;
        const ImageCacheKey key{photo.relativePath, PhotoSource::jpeg};
        if (displayCache_.contains(key) || displayOperations_.contains(key)) continue;
        failures_.erase(key);
        const int size =
            std::min(longEdge(photo.asset(PhotoSource::jpeg)), LoaderLimits::kMaximumDisplayPixelSize);
        displayOperations_.insert_or_assign(
            key,
            enqueue(displayQueue_, ImageDecodeOperation{nextID(), photo, PhotoSource::jpeg, size, decoder_},
                    &ImageLoader::displayDecoded));
    }
    startWaitingFullResolution();
}

void ImageLoader::displayDecoded(const ImageDecodeOperation& work, ImageDecodeOperation::Report report) {
    const ImageCacheKey key = work.key();
    const auto found = displayOperations_.find(key);
    if (found == displayOperations_.end() || found->second.work->id != work.id) return;
    displayOperations_.erase(found);
    startWaitingFullResolution();
    const bool decoded = report.image != nullptr;
    if (decoded)
        displayCache_.insert(std::move(report.image), key);
    else
        failures_.insert_or_assign(key, report.failure);
    bumpRevision();
    if (decoded && !neighbours_.empty()) planNeighbours();
}

// What image(for:) would give, looked up without changing the caches' order.
SharedImage ImageLoader::decodedWithoutTouching(const ImageCacheKey& key, bool preferFullResolution) const {
    if (preferFullResolution) {
        if (auto full = fullResolutionCache_.peek(key)) return *full;
    }
    return displayCache_.peek(key).value_or(nullptr);
}

void ImageLoader::prepareNeighbours(std::vector<NeighbourView> neighbours, double photoAreaLongEdge,
                                    double backingScaleFactor) {
    if (neighbours.size() > displayReady_.capacity()) neighbours.resize(displayReady_.capacity());
    neighbours_ = std::move(neighbours);
    neighbourAreaLongEdge_ = photoAreaLongEdge;
    neighbourBackingScaleFactor_ = backingScaleFactor;
    planNeighbours();
}

// The work that makes each listed neighbour display-ready, in the order of the list, without
// identifiers yet: a RAW source always (its development is the costly part), a JPEG or HEIF one
// when it has a development and its decode is there.
std::vector<std::variant<ParameterOperation, RawParameterOperation>> ImageLoader::neighbourWork() const {
    std::vector<std::variant<ParameterOperation, RawParameterOperation>> work;
    for (const NeighbourView& view : neighbours_) {
        const ImageCacheKey key{view.photo.relativePath, view.source};
        if (view.source == PhotoSource::raw) {
            RawDevelopmentRequest request{key.path, view.photo.asset(PhotoSource::raw), view.parameters,
                                          LoaderLimits::kRawPreviewLongEdge, rawDevelopmentSupportStore_};
            work.emplace_back(RawParameterOperation{
                0, key, RawDevelopmentCacheKey{key.path, RawDevelopmentSettings(view.parameters)},
                std::move(request), view.parameters, view.rotation, view.crop, rawDevelopmentCache_, develop_,
                true});
            continue;
        }
        if (view.parameters.values.isEmpty() && view.parameters.masks.empty()) continue;
        SharedImage source = decodedWithoutTouching(key, view.preferFullResolution);
        if (!source) continue;
        const auto target = displayTargetLongEdge(std::max(source->width(), source->height()),
                                                  neighbourAreaLongEdge_, neighbourBackingScaleFactor_, 1);
        if (!target) continue;
        // Without the resize cache, which holds the current photo's copy.
        work.emplace_back(ParameterOperation{0, key, view.parameters, view.rotation, view.crop,
                                             std::move(source), *target, nullptr, develop_});
    }
    return work;
}

void ImageLoader::planNeighbours() {
    auto work = neighbourWork();
    std::vector<DisplayRequest> wanted;
    for (const auto& w : work)
        wanted.push_back(std::visit([](const auto& op) { return op.displayRequest(); }, w));
    displayReady_.keepOnly(wanted);
    const auto unwanted = [&](const auto& p) {
        if (std::ranges::find(wanted, p.work->displayRequest()) != wanted.end()) return false;
        p.cancel();
        return true;
    };
    std::erase_if(preparations_, unwanted);
    std::erase_if(rawPreparations_, unwanted);
    for (std::size_t i = 0; i < work.size(); ++i) {
        const auto forThis = [&](const auto& p) { return p.work->displayRequest() == wanted[i]; };
        if (displayReady_.contains(wanted[i]) || std::ranges::any_of(preparations_, forThis) ||
            std::ranges::any_of(rawPreparations_, forThis))
            continue;
        if (auto* decoded = std::get_if<ParameterOperation>(&work[i])) {
            decoded->id = nextID();
            preparations_.push_back(
                enqueue(preparationQueue_, std::move(*decoded), &ImageLoader::neighbourPrepared));
        } else {
            auto& raw = std::get<RawParameterOperation>(work[i]);
            raw.id = nextID();
            rawPreparations_.push_back(
                enqueue(preparationQueue_, std::move(raw), &ImageLoader::rawNeighbourPrepared));
        }
    }
}

void ImageLoader::neighbourPrepared(const ParameterOperation& work, SharedImage developed) {
    // Taken over as the current photo's render when the step came before it was ready.
    if (parameterOperation_ && parameterOperation_->work->id == work.id) {
        parameterRendered(work, std::move(developed));
        return;
    }
    if (leavesList(preparations_, work))
        displayReady_.store(work.displayRequest(), {std::move(developed), std::nullopt});
}

void ImageLoader::rawNeighbourPrepared(const RawParameterOperation& work,
                                       RawParameterOperation::Report report) {
    if (rawParameterOperation_ && rawParameterOperation_->work->id == work.id) {
        rawParameterRendered(work, std::move(report));
        return;
    }
    // A neighbour that cannot be developed is left to the step onto it, which records the failure.
    if (leavesList(rawPreparations_, work) && report.result && report.developed)
        displayReady_.store(work.displayRequest(), {std::move(report.developed), std::move(report.result)});
}

void ImageLoader::requestFullResolution(const Photo& photo, std::optional<PhotoSource> source) {
    const PhotoSource resolved = photo.resolvedSource(source);
    if (resolved == PhotoSource::raw) return; // the full-size RAW development is separate
    const ImageCacheKey key{photo.relativePath, resolved};
    // Only the current photo is ever decoded at full size.
    std::erase_if(fullResolutionOperations_, [&](const auto& entry) {
        if (entry.first == key) return false;
        entry.second.cancel();
        return true;
    });
    if (fullResolutionWaiting_ && fullResolutionWaiting_->key() != key) fullResolutionWaiting_.reset();
    if (fullResolutionCache_.contains(key) || isDecodingFullResolution(key)) return;
    fullResolutionWaiting_ =
        ImageDecodeOperation{0, photo, resolved, longEdge(photo.asset(resolved)), decoder_};
    // From the main queue: a step asks for the full-size image before it plans the display decodes
    // of the new neighbours, which go first.
    std::weak_ptr<ImageLoader*> weakSelf = self_;
    mainQueue_.post([weakSelf] {
        if (const auto self = weakSelf.lock()) (**self).startWaitingFullResolution();
    });
}

void ImageLoader::startWaitingFullResolution() {
    if (!fullResolutionWaiting_ || !displayOperations_.empty()) return;
    ImageDecodeOperation work = std::move(*fullResolutionWaiting_);
    fullResolutionWaiting_.reset();
    work.id = nextID();
    const ImageCacheKey key = work.key();
    // The full-size image this one will evict is given up now: the decode reuses its memory
    // instead of faulting in a fresh 100 MB.
    fullResolutionCache_.makeRoomForOne();
    fullResolutionOperations_.insert_or_assign(
        key, enqueue(fullResolutionQueue_, std::move(work), &ImageLoader::fullResolutionDecoded));
}

void ImageLoader::fullResolutionDecoded(const ImageDecodeOperation& work,
                                        ImageDecodeOperation::Report report) {
    const ImageCacheKey key = work.key();
    const auto found = fullResolutionOperations_.find(key);
    if (found == fullResolutionOperations_.end() || found->second.work->id != work.id) return;
    fullResolutionOperations_.erase(found);
    // Without an image the display-size one stays in use; a later request tries again.
    if (!report.image) return;
    fullResolutionCache_.insert(std::move(report.image), key);
    bumpRevision();
}

void ImageLoader::cancelFullResolutionLoading() {
    fullResolutionQueue_.cancelAllOperations();
    fullResolutionOperations_.clear();
    fullResolutionWaiting_.reset();
    if (fullResolutionRawOperation_) fullResolutionRawOperation_->cancel();
    fullResolutionRawOperation_.reset();
}

void ImageLoader::updateFullResolutionRaw(const Photo& photo, const PhotoParameters& parameters,
                                          bool requestIfNeeded) {
    FullResolutionRawCacheKey key{photo.relativePath, RawDevelopmentSettings(parameters)};
    if (!fullResolutionRawCache_->result(key)) fullResolutionRawCache_->clear();
    if (fullResolutionRawOperation_ && fullResolutionRawOperation_->work->key != key) {
        fullResolutionRawOperation_->cancel();
        fullResolutionRawOperation_.reset();
    }
    if (!requestIfNeeded) return;
    if (fullResolutionRawCache_->result(key) || fullResolutionRawOperation_) return;
    RawDevelopmentRequest request{photo.relativePath, photo.asset(PhotoSource::raw), parameters, std::nullopt,
                                  rawDevelopmentSupportStore_};
    fullResolutionRawOperation_ =
        enqueue(fullResolutionQueue_,
                FullResolutionRawOperation{nextID(), std::move(key), std::move(request),
                                           fullResolutionRawDevelopment_},
                &ImageLoader::fullResolutionRawDeveloped);
}

void ImageLoader::fullResolutionRawDeveloped(const FullResolutionRawOperation& work,
                                             FullResolutionRawOperation::Report report) {
    if (!fullResolutionRawOperation_ || fullResolutionRawOperation_->work->id != work.id) return;
    if (fullResolutionRawOperation_->work->key != work.key) return;
    fullResolutionRawOperation_.reset();
    if (!report.result) return;
    fullResolutionRawCache_->store(work.key, std::move(*report.result));
    bumpRevision();
    notifyAvailability();
}

void ImageLoader::discardFullResolutionRaw() {
    if (fullResolutionRawOperation_) fullResolutionRawOperation_->cancel();
    fullResolutionRawOperation_.reset();
    fullResolutionRawCache_->clear();
}

} // namespace sorvin
