#pragma once

#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_cache.hpp"
#include "engine/raw_development_support_store.hpp"
#include "loading/display_ready_cache.hpp"
#include "loading/image_cache_key.hpp"
#include "loading/loader_operations.hpp"
#include "loading/lru_cache.hpp"
#include "loading/original_preview_cache.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "platform/background_executor.hpp"
#include "platform/image.hpp"
#include "platform/main_queue.hpp"
#include "platform/operation_queue.hpp"
#include "platform/signal.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

namespace sorvin {

// What the developed image of the current photo was made for, or is being made for. The
// rotation and crop are not in the image; they only decide whether it still fits a request.
struct ParameterImageSnapshot {
    SharedImage image;
    std::optional<ImageCacheKey> cacheKey;
    PhotoParameters values;
    double rotation = 0;
    ManualCrop crop;
    PixelSize sourceSize; // of the decoded image it was made from; for RAW, of the development
    int targetLongEdge = 0;
};

// What the application hands the loader. Caches left empty are made fresh; empty functions
// mean the program's own (RawDeveloper, ImageDecoder, the development engine).
struct ImageLoaderSetup {
    bool lowMemoryMode = false;
    std::shared_ptr<RawDevelopmentCache> rawDevelopmentCache;
    std::shared_ptr<RawDevelopmentSupportStore> rawDevelopmentSupportStore;
    std::shared_ptr<FullResolutionRawCache> fullResolutionRawCache;
    RawDevelopmentCache::Development fullResolutionRawDevelopment;
    std::shared_ptr<OriginalPreviewCache> originalPreviewCache;
    ImageDecodeOperation::Decoder decoder;
    PreviewDevelopment::Develop develop;
};

// Schedules, keeps and hands out every image the browsing screen draws for a photo: the decoded
// display images of the current photo and its neighbours, the full-size image for zoom and loupe,
// the current photo developed with its parameters at display size, RAW developments and the
// unedited original preview.
//
// Main thread only. Work runs on three operation queues on the background executor; every result
// comes back through the main queue and is kept only while the request that asked for it is still
// the newest one. Views redraw when `revision` moves.
class ImageLoader {
public:
    using Decoder = ImageDecodeOperation::Decoder;
    using RawDevelopment = RawDevelopmentCache::Development;

    static constexpr std::size_t kDisplayCacheCapacity = 13;
    static constexpr std::size_t kFullResolutionCacheCapacity = 2;
    static constexpr int kDisplayQueueWidth = 4;
    // Display-ready images of neighbours kept at most, in normal and in low-memory mode.
    static constexpr std::size_t kDisplayReadyCapacity = 3;
    static constexpr std::size_t kLowMemoryDisplayReadyCapacity = 1;

    using Setup = ImageLoaderSetup;

    ImageLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Setup setup = {});
    // Cancels all work; results still under way find nobody to report to.
    ~ImageLoader();
    ImageLoader(const ImageLoader&) = delete;
    ImageLoader& operator=(const ImageLoader&) = delete;

    // --- Published state ---

    // Moves whenever what the views would draw may have changed; revisionChanged follows.
    std::uint64_t revision() const { return revision_; }
    Signal<> revisionChanged;
    // Called after a developed image is stored, after every RAW preview result (image or failure)
    // and after a full-size RAW development is stored.
    std::function<void()> availabilityChanged;
    // Sources whose last decode or RAW development gave no image, with the file's own error when
    // that was the cause (ImageDecoder::whyUnreadable; none: the content could not be decoded).
    const std::unordered_map<ImageCacheKey, std::error_code>& failures() const { return failures_; }
    bool lowMemoryMode() const { return lowMemoryMode_; }

    // --- Images for the views (none of these starts work) ---

    // The decoded, undeveloped image of a photo. A RAW source gives the cached RAW development of
    // the photo whatever its settings. No source means the photo's own.
    SharedImage image(const Photo& photo, std::optional<PhotoSource> source, bool preferFullResolution);
    // The best image to draw now: the developed image when it fits the request, else what the
    // caches hold.
    SharedImage adjustedImage(const Photo& photo, const PhotoParameters& parameters,
                              std::optional<PhotoSource> source, double rotation, const ManualCrop& crop,
                              bool preferFullResolution);
    // Whether the developed image of exactly this request is there.
    bool isDisplayReady(const Photo& photo, PhotoSource source, const PhotoParameters& parameters,
                        double rotation, const ManualCrop& crop, bool preferFullResolution);

    // --- The developed image of the current photo ---

    // Asks for the current photo developed at display size: the photo area's long edge (logical
    // pixels) times the backing scale and the zoom, rounded up to 32 pixels, never above the
    // decoded image. Does nothing when that image is there or being made; a newer request
    // cancels the older one.
    void requestParameters(const Photo& photo, const PhotoParameters& parameters,
                           std::optional<PhotoSource> source, double rotation, const ManualCrop& crop,
                           bool preferFullResolution, double photoAreaLongEdge, double backingScaleFactor,
                           double zoomScale);
    void clearParameterImage();
    void clearRawDevelopmentCache();
    // Stops everything and forgets every image (opening a folder, quitting). Failures stay.
    void cancelAll();

    // --- Neighbours, full size, original preview, memory ---

    // Decodes the current photo and its neighbours ahead of need, most important first; decodes
    // for photos that left the window are cancelled. `sources` is the chosen source by relative
    // path; `direction` the sign of the last move, none without a move.
    void prefetch(const std::vector<Photo>& photos, int current,
                  const std::unordered_map<std::string, PhotoSource>& sources, std::optional<int> direction);
    // How a photo next to the current one will be shown once it is the current one.
    struct NeighbourView {
        Photo photo;
        PhotoSource source = PhotoSource::jpeg;
        PhotoParameters parameters;
        double rotation = 0;
        ManualCrop crop;
        bool preferFullResolution = false; // as requestParameters will be asked
    };
    // Makes the display-ready image of each neighbour, most needed first, so that a step onto it
    // only publishes it: a JPEG or HEIF decode, once it is there, brought to the display size of
    // requestParameters (unzoomed) and developed; a RAW file developed at preview size with its
    // parameters. Replaces the previous list: images and work for neighbours no longer listed are
    // dropped. A list longer than the mode allows is cut short.
    void prepareNeighbours(std::vector<NeighbourView> neighbours, double photoAreaLongEdge,
                           double backingScaleFactor);

    // Decodes the current photo at its native size (JPEG/HEIF only); only one photo at a time. The
    // decode starts from the main queue once no display decode is queued or running: the photos a
    // step lands on come first, and a walk does not hold a full-size bitmap in the making beside
    // its display images. A decode of a photo left behind stops where it is.
    void requestFullResolution(const Photo& photo, std::optional<PhotoSource> source);
    // Stops all full-size work; what is cached stays.
    void cancelFullResolutionLoading();
    // Drops a full-size RAW development of other settings and, when asked, starts the one for
    // these settings.
    void updateFullResolutionRaw(const Photo& photo, const PhotoParameters& parameters, bool requestIfNeeded);
    void discardFullResolutionRaw();

    // Remembers what the unedited current photo would be rendered for, without rendering it; a
    // prepared or running preview of another photo, source, rotation, crop or lens geometry is
    // dropped at once.
    void recordOriginalPreviewContext(const Photo& photo, const PhotoParameters& parameters,
                                      PhotoSource source, double rotation, const ManualCrop& crop,
                                      bool preferFullResolution, double photoAreaLongEdge,
                                      double backingScaleFactor, double zoomScale);
    // Renders the unedited current photo in the background so that it shows at once when asked.
    void prepareOriginalPreview(const Photo& photo, const PhotoParameters& parameters, PhotoSource source,
                                double rotation, const ManualCrop& crop, bool preferFullResolution,
                                double photoAreaLongEdge, double backingScaleFactor, double zoomScale);
    // Shows the unedited photo in place of the developed one (prepared or, failing that, the
    // undeveloped image until a new request renders it); ending restores the developed one.
    void beginOriginalPreview();
    void endOriginalPreview();
    void discardOriginalPreview();
    bool isShowingOriginalPreview() const { return originalPreviewSnapshot_.has_value(); }

    // Switching empties every cache and starts over; the caller then asks for what it shows.
    void setLowMemoryMode(bool enabled);

    // Long edge of a display-size render; none when an input is not a positive finite number or
    // the source has no pixels.
    static std::optional<int> displayTargetLongEdge(int sourceLongEdge, double photoAreaLongEdge,
                                                    double backingScaleFactor, double zoomScale);

    // --- Inspection ---
    const ParameterImageSnapshot& parameterState() const { return parameterState_; }
    bool isRenderingParameters() const {
        return parameterOperation_.has_value() || rawParameterOperation_.has_value();
    }
    bool isPreparingOriginalPreview() const { return originalPreviewOperation_.has_value(); }
    bool isDevelopingFullResolutionRaw() const { return fullResolutionRawOperation_.has_value(); }
    bool hasDisplayImage(const ImageCacheKey& key) const { return displayCache_.contains(key); }
    bool hasFullResolutionImage(const ImageCacheKey& key) const { return fullResolutionCache_.contains(key); }
    bool isDecodingDisplayImage(const ImageCacheKey& key) const { return displayOperations_.contains(key); }
    bool isDecodingFullResolution(const ImageCacheKey& key) const {
        return fullResolutionOperations_.contains(key) ||
               (fullResolutionWaiting_ && fullResolutionWaiting_->key() == key);
    }
    std::size_t displayDecodeCount() const { return displayOperations_.size(); }
    std::size_t displayReadyCount() const { return displayReady_.count(); }
    std::size_t neighbourPreparationCount() const { return preparations_.size() + rawPreparations_.size(); }
    // Bytes of the bitmaps the loader holds, each counted once.
    std::size_t heldImageBytes() const;

private:
    template <typename Work>
    struct Scheduled {
        std::shared_ptr<const Work> work;
        std::shared_ptr<Operation> operation;
        void cancel() const { operation->cancel(); }
    };
    template <typename Work>
    using Slot = std::optional<Scheduled<Work>>;

    template <typename Work, typename Apply>
    Scheduled<Work> enqueue(OperationQueue& queue, Work work, Apply apply);
    std::uint64_t nextID() { return ++lastOperationID_; }
    void bumpRevision();
    void notifyAvailability();

    bool parameterStateMatches(const std::string& path, PhotoSource source, const PhotoParameters& parameters,
                               double rotation, const ManualCrop& crop) const;
    bool parameterStateMatches(const std::string& path, PhotoSource source, const PhotoParameters& parameters,
                               double rotation, const ManualCrop& crop, const SharedImage& sourceImage) const;
    void requestRawParameters(const Photo& photo, const PhotoParameters& parameters, double rotation,
                              const ManualCrop& crop);
    void cancelParameterRenders();
    bool publishPrepared(const DisplayRequest& request);
    std::vector<std::variant<ParameterOperation, RawParameterOperation>> neighbourWork() const;
    SharedImage decodedWithoutTouching(const ImageCacheKey& key, bool preferFullResolution) const;
    void planNeighbours();
    void startWaitingFullResolution();
    void neighbourPrepared(const ParameterOperation& work, SharedImage developed);
    void rawNeighbourPrepared(const RawParameterOperation& work, RawParameterOperation::Report report);
    void forgetEverything();

    void parameterRendered(const ParameterOperation& work, SharedImage developed);
    void rawParameterRendered(const RawParameterOperation& work, RawParameterOperation::Report report);
    void displayDecoded(const ImageDecodeOperation& work, ImageDecodeOperation::Report report);
    void fullResolutionDecoded(const ImageDecodeOperation& work, ImageDecodeOperation::Report report);
    void fullResolutionRawDeveloped(const FullResolutionRawOperation& work,
                                    FullResolutionRawOperation::Report report);
    void originalPreviewRendered(const OriginalPreviewOperation& work,
                                 OriginalPreviewOperation::Report report);

    // The request of the last prepared original preview.
    struct OriginalPreviewContext {
        Photo photo;
        PhotoParameters parameters;
        PhotoSource source = PhotoSource::jpeg;
        double rotation = 0;
        ManualCrop crop;
        bool preferFullResolution = false;
        double photoAreaLongEdge = 0;
        double backingScaleFactor = 0;
        double zoomScale = 0;

        OriginalPreviewCacheKey key() const;
    };

    MainQueue& mainQueue_;
    std::uint64_t revision_ = 0;
    std::unordered_map<ImageCacheKey, std::error_code> failures_;
    bool lowMemoryMode_;

    LRUCache<ImageCacheKey, SharedImage> displayCache_{kDisplayCacheCapacity};
    LRUCache<ImageCacheKey, SharedImage> fullResolutionCache_{kFullResolutionCacheCapacity};
    std::shared_ptr<DisplayResizeCache> displayResizeCache_;
    std::shared_ptr<RawDevelopmentCache> rawDevelopmentCache_;
    std::shared_ptr<RawDevelopmentSupportStore> rawDevelopmentSupportStore_;
    std::shared_ptr<FullResolutionRawCache> fullResolutionRawCache_;
    RawDevelopment fullResolutionRawDevelopment_;
    std::shared_ptr<OriginalPreviewCache> originalPreviewCache_;
    Decoder decoder_;
    PreviewDevelopment::Develop develop_;

    OperationQueue displayQueue_;
    OperationQueue fullResolutionQueue_;
    OperationQueue parameterQueue_;
    OperationQueue preparationQueue_;

    std::unordered_map<ImageCacheKey, Scheduled<ImageDecodeOperation>> displayOperations_;
    std::unordered_map<ImageCacheKey, Scheduled<ImageDecodeOperation>> fullResolutionOperations_;
    std::optional<ImageDecodeOperation> fullResolutionWaiting_; // for the display decodes to end
    Slot<ParameterOperation> parameterOperation_;
    Slot<RawParameterOperation> rawParameterOperation_;
    Slot<FullResolutionRawOperation> fullResolutionRawOperation_;
    Slot<OriginalPreviewOperation> originalPreviewOperation_;
    // Neighbours to have ready, the photo area they are shown in, the images made and the work
    // under way for them.
    std::vector<NeighbourView> neighbours_;
    double neighbourAreaLongEdge_ = 0;
    double neighbourBackingScaleFactor_ = 0;
    DisplayReadyCache displayReady_;
    std::vector<Scheduled<ParameterOperation>> preparations_;
    std::vector<Scheduled<RawParameterOperation>> rawPreparations_;

    ParameterImageSnapshot parameterState_;
    std::optional<ParameterImageSnapshot> originalPreviewSnapshot_;
    std::optional<OriginalPreviewContext> originalPreviewContext_;
    bool originalPreviewUsesCache_ = false;

    std::uint64_t lastOperationID_ = 0;
    // Expires with the loader, so results that come back later find nobody to report to.
    std::shared_ptr<ImageLoader*> self_;
};

} // namespace sorvin
