#pragma once

#include "model/photo_source.hpp"
#include "platform/image.hpp"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace sorvin {

struct DisplayResizeCacheKey {
    std::string path;
    PhotoSource source = PhotoSource::jpeg;
    int sourceWidth = 0; // of the image that was resized
    int sourceHeight = 0;
    int targetLongEdge = 0;

    friend bool operator==(const DisplayResizeCacheKey&, const DisplayResizeCacheKey&) = default;
};

// The display-size copy of the last photo developed for the screen. Every new set of parameters
// of that photo is developed from it, so the downscale runs once per photo and size, not once per
// edit.
class DisplayResizeCache {
public:
    using Resize = std::function<SharedImage()>;

    // The stored copy when its key is equal; otherwise resize() makes one, which replaces the
    // stored one. The lock is held throughout, so two developments never resize the same photo
    // twice. None, and the slot left as it was, when resize() gives none.
    SharedImage image(const DisplayResizeCacheKey& key, const Resize& resize);

    std::optional<DisplayResizeCacheKey> storedKey() const;
    SharedImage storedImage() const;
    void clear();

private:
    struct Entry {
        DisplayResizeCacheKey key;
        SharedImage image;
    };
    mutable std::mutex lock_;
    std::optional<Entry> entry_;
};

} // namespace sorvin
