#pragma once

#include "engine/cancellation_probe.hpp"
#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_cache.hpp"
#include "engine/raw_development_request.hpp"
#include "engine/raw_development_result.hpp"
#include "loading/display_ready_cache.hpp"
#include "loading/display_resize_cache.hpp"
#include "loading/image_cache_key.hpp"
#include "loading/original_preview_cache.hpp"
#include "loading/preview_development.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>

namespace sorvin {

class RawDevelopmentSupportStore;

// The sizes the loader works at.
struct LoaderLimits {
    static constexpr int kMaximumDisplayPixelSize = 3200; // long edge of a prefetched decode
    static constexpr int kRawPreviewLongEdge = 1600;      // long edge of a RAW preview development
};

// The image loader's five kinds of background work. Each is built with everything it needs and
// runs once on one of the loader's queues; run() checks the probe between its steps and gives
// what to report, or nothing at all when it was cancelled or gave up, so a superseded request can
// never overwrite a newer result. A value-initialised report means that nothing was made. The
// `id` is the identity the loader compares when the report arrives on the main thread.

// Decodes a display-size or full-size image of a JPEG or HEIF file.
struct ImageDecodeOperation {
    using Decoder =
        std::function<SharedImage(const Photo&, std::optional<PhotoSource>, int maximumPixelSize)>;

    std::uint64_t id = 0;
    Photo photo;
    PhotoSource source = PhotoSource::jpeg;
    int maximumPixelSize = 0;
    Decoder decoder; // ImageDecoder::decode when empty

    // The decoded image, or why there is none: the file's own error (ImageDecoder::whyUnreadable),
    // none when its content could not be decoded.
    struct Report {
        SharedImage image;
        std::error_code failure;
    };

    ImageCacheKey key() const { return {photo.relativePath, source}; }
    std::optional<Report> run(const CancellationProbe& isCancelled) const;
};

// Develops the current photo's display image with its parameters, from a display-size copy of the
// decoded image that the resize cache keeps across edits. A neighbour's display-ready image is
// made the same way, without the resize cache, which belongs to the current photo.
struct ParameterOperation {
    std::uint64_t id = 0;
    ImageCacheKey cacheKey;
    PhotoParameters parameters;
    double rotation = 0;
    ManualCrop crop;
    SharedImage source; // the decoded image the loader chose to develop
    int targetLongEdge = 0;
    std::shared_ptr<DisplayResizeCache> resizeCache; // none: resized afresh
    PreviewDevelopment::Develop develop;

    DisplayRequest displayRequest() const;
    // The developed image, a null image when the development failed.
    std::optional<SharedImage> run(const CancellationProbe& isCancelled) const;
};

// Develops the current photo's RAW file at preview size (through the RAW cache), then its
// parameters. A neighbour's is made the same way but past the RAW cache, whose one entry belongs to
// the photo shown; its development enters the cache when the photo is.
struct RawParameterOperation {
    struct Report {
        std::optional<RawDevelopmentResult> result; // none: the file could not be developed
        SharedImage developed;
    };

    std::uint64_t id = 0;
    ImageCacheKey cacheKey;
    RawDevelopmentCacheKey rawCacheKey;
    RawDevelopmentRequest request;
    PhotoParameters parameters;
    double rotation = 0;
    ManualCrop crop;
    std::shared_ptr<RawDevelopmentCache> cache;
    PreviewDevelopment::Develop develop;
    bool pastCache = false; // a neighbour's, made before it is shown

    DisplayRequest displayRequest() const;
    std::optional<Report> run(const CancellationProbe& isCancelled) const;
};

// Develops a RAW file at its native size for the loupe.
struct FullResolutionRawOperation {
    struct Report {
        std::optional<RawDevelopmentResult> result;
    };

    std::uint64_t id = 0;
    FullResolutionRawCacheKey key;
    RawDevelopmentRequest request; // no maximum long edge
    RawDevelopmentCache::Development development;

    std::optional<Report> run(const CancellationProbe& isCancelled) const;
};

// Develops the unedited original of the current photo for the original preview: adjustments back
// at their defaults, RAW development and lens geometry kept, no vignette.
struct OriginalPreviewOperation {
    struct Report {
        std::optional<OriginalPreviewCacheEntry> entry; // none: nothing could be rendered
    };

    std::uint64_t id = 0;
    OriginalPreviewCacheKey key;
    Photo photo;
    PhotoParameters parameters; // the photo's current parameters
    SharedImage sourceImage;    // the decoded display image of a JPEG or HEIF source
    int targetLongEdge = 0;
    std::shared_ptr<RawDevelopmentCache> rawDevelopmentCache;
    std::shared_ptr<RawDevelopmentSupportStore> rawDevelopmentSupportStore;
    PreviewDevelopment::Develop develop;

    std::optional<Report> run(const CancellationProbe& isCancelled) const;
};

} // namespace sorvin
