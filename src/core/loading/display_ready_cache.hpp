#pragma once

#include "engine/raw_development_result.hpp"
#include "loading/image_cache_key.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "platform/image.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace sorvin {

// Everything a display-size development of a photo depends on: the photo and source, what it is
// developed with, the vignette's frame (rotation and crop), the decoded image it starts from and
// the long edge it is made at.
struct DisplayRequest {
    ImageCacheKey key;
    PhotoParameters parameters;
    double rotation = 0;
    ManualCrop crop;
    PixelSize sourceSize;
    int targetLongEdge = 0;

    friend bool operator==(const DisplayRequest&, const DisplayRequest&) = default;
    // The same picture at the same size, whichever decode of the photo it starts from: a display
    // decode and the full-size image show the same photo.
    bool showsTheSameAs(const DisplayRequest& other) const {
        return key == other.key && parameters == other.parameters && rotation == other.rotation &&
               crop == other.crop && targetLongEdge == other.targetLongEdge;
    }
};

// A neighbour made display-ready: its developed image and, for a RAW source, the RAW development
// it was made from, which becomes the RAW cache's entry once the photo is shown.
struct DisplayReadyImage {
    SharedImage image;
    std::optional<RawDevelopmentResult> development;
};

// Display-ready images of the photos next to the current one, made before they are needed, so a
// step onto one of them only has to publish it. Holds at most `capacity` images; the oldest goes
// first. Main thread only.
class DisplayReadyCache {
public:
    explicit DisplayReadyCache(std::size_t capacity) : capacity_(capacity) {}

    std::size_t capacity() const { return capacity_; }
    std::size_t count() const { return entries_.size(); }
    bool contains(const DisplayRequest& request) const;

    // What was made for this request, which leaves the cache; a null image otherwise. An image
    // made from another decode of the photo serves too: the full-size image a neighbour was made
    // from may have left its cache, or come, before the step onto it.
    DisplayReadyImage take(const DisplayRequest& request);
    void store(DisplayRequest request, DisplayReadyImage ready);
    // Drops every image whose request is not among the wanted ones.
    void keepOnly(const std::vector<DisplayRequest>& wanted);
    void setCapacity(std::size_t capacity);
    void clear() { entries_.clear(); }
    template <typename Visit>
    void forEach(Visit visit) const {
        for (const Entry& entry : entries_) {
            visit(entry.ready.image);
            if (entry.ready.development) visit(entry.ready.development->image);
        }
    }

private:
    struct Entry {
        DisplayRequest request;
        DisplayReadyImage ready;
    };
    void trim();

    std::size_t capacity_;
    std::vector<Entry> entries_; // oldest first
};

} // namespace sorvin
