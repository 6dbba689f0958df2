#pragma once

#include "loading/image_loader.hpp"
#include "support/manual_main_queue.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace sorvin::test {

// A JPEG photo of 60 x 40 pixels, optionally paired with a RAW file.
inline Photo loaderPhoto(const std::string& path, bool withRaw = false, int width = 60, int height = 40) {
    Photo photo;
    photo.url = "/folder/" + path;
    photo.relativePath = path;
    photo.pixelWidth = width;
    photo.pixelHeight = height;
    photo.fileFormat = photoFileFormatFrom(photo.url).value_or(PhotoFileFormat::jpeg);
    if (withRaw) {
        photo.rawCompanionURL = "/folder/" + path + ".nef";
        photo.rawCompanionRelativePath = path + ".nef";
    }
    return photo;
}

inline PhotoParameters with(PhotoParameter p, int value, PhotoParameters set = {}) {
    set.setValue(value, p);
    return set;
}

inline SharedImage blankImage(int width, int height) {
    return makeImage(PixelBuffer(width, height));
}

// A loader whose decodes, developments and RAW developments are stand-ins that record their calls
// and make small blank images, driven by a manual main queue and a manual executor.
struct ImageLoaderFixture : ::testing::Test {
    struct Decode {
        std::filesystem::path url;
        PhotoSource source;
        int maximumPixelSize;
    };
    struct Development {
        int width, height;
        PhotoParameters parameters;
        std::optional<DevelopmentPlacement> placement;
    };

    ManualMainQueue mainQueue;
    ManualExecutor executor;
    std::vector<Decode> decodes;
    std::set<std::string> undecodable; // relative paths
    std::map<const Image*, std::filesystem::path> decodedFrom;
    std::vector<Development> developments;
    bool developmentFails = false;
    int rawDevelopments = 0;
    bool rawFails = false;
    int fullSizeRawDevelopments = 0;
    int availabilityCalls = 0;

    std::shared_ptr<RawDevelopmentCache> rawCache = std::make_shared<
        RawDevelopmentCache>([this](const RawDevelopmentRequest& request) {
        ++rawDevelopments;
        if (rawFails) return std::optional<RawDevelopmentResult>();
        const int edge = request.maximumLongEdge.value_or(90);
        return std::optional<RawDevelopmentResult>(RawDevelopmentResult{blankImage(edge, edge * 2 / 3), {}});
    });
    std::shared_ptr<FullResolutionRawCache> fullRawCache = std::make_shared<FullResolutionRawCache>();
    std::shared_ptr<OriginalPreviewCache> previewCache = std::make_shared<OriginalPreviewCache>();

    ImageLoader loader{mainQueue, executor, setup()};

    ImageLoaderFixture() {
        loader.availabilityChanged = [this] { ++availabilityCalls; };
    }

    ImageLoaderSetup setup() {
        ImageLoaderSetup s;
        s.rawDevelopmentCache = rawCache;
        s.fullResolutionRawCache = fullRawCache;
        s.originalPreviewCache = previewCache;
        s.fullResolutionRawDevelopment = [this](const RawDevelopmentRequest&) {
            ++fullSizeRawDevelopments;
            return std::optional<RawDevelopmentResult>(RawDevelopmentResult{blankImage(90, 60), {}});
        };
        s.decoder = [this](const Photo& photo, std::optional<PhotoSource> source, int size) -> SharedImage {
            decodes.push_back({photo.url, *source, size});
            if (undecodable.contains(photo.relativePath)) return nullptr;
            if (photo.relativePath == "throws.jpg") throw std::bad_alloc();
            // At most 100 pixels on the long edge, so large photos stay cheap.
            const int edge = std::max(photo.pixelWidth, photo.pixelHeight);
            const double scale = edge > 100 ? 100.0 / edge : 1.0;
            SharedImage image = blankImage(std::max(1, static_cast<int>(photo.pixelWidth * scale)),
                                           std::max(1, static_cast<int>(photo.pixelHeight * scale)));
            decodedFrom[image.get()] = photo.url;
            return image;
        };
        s.develop = [this](const SharedImage& image, const PhotoParameters& parameters,
                           const std::optional<DevelopmentPlacement>& placement,
                           const CancellationProbe&) -> SharedImage {
            developments.push_back({image->width(), image->height(), parameters, placement});
            if (developmentFails) return nullptr;
            return blankImage(image->width(), image->height());
        };
        return s;
    }

    // Runs every piece of background work and every result it posts, until nothing is left.
    void finish() {
        while (executor.waiting() > 0 || mainQueue.pendingCount() > 0) {
            executor.runAll();
            mainQueue.runPending();
        }
    }

    // The display image of a photo decoded and cached.
    void decode(const Photo& photo) {
        loader.prefetch({photo}, 0, {}, std::nullopt);
        finish();
    }

    // A display-size request in a photo area of 10 logical pixels at scale 2: a target of 32.
    void request(const Photo& photo, const PhotoParameters& parameters,
                 std::optional<PhotoSource> source = std::nullopt, double rotation = 0,
                 const ManualCrop& crop = {}) {
        loader.requestParameters(photo, parameters, source, rotation, crop, false, 10, 2, 1);
    }
    SharedImage shown(const Photo& photo, const PhotoParameters& parameters,
                      std::optional<PhotoSource> source = std::nullopt) {
        return loader.adjustedImage(photo, parameters, source, 0, {}, false);
    }
};

} // namespace sorvin::test
