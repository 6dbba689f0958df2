#pragma once

#include "engine/raw_development_settings.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_rotation.hpp"
#include "model/photo_source.hpp"
#include "platform/image.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class PhotoParameters;

// What an unedited preview was rendered for. The unedited image still carries the lens geometry
// and, for a RAW source, the RAW development, so their values are part of the key.
struct OriginalPreviewCacheKey {
    std::string relativePath;
    PhotoSource source = PhotoSource::jpeg;
    double rotation = 0; // degrees; 0 and -0 are one rotation
    ManualCrop crop;
    std::vector<int> geometryValues;
    RawDevelopmentSettings rawSettings; // the defaults for a JPEG/HEIF source

    // The effective values of the geometry parameters, in their fixed order.
    static std::vector<int> geometryValuesOf(const PhotoParameters& parameters);

    friend bool operator==(const OriginalPreviewCacheKey&, const OriginalPreviewCacheKey&) = default;
};

struct OriginalPreviewCacheEntry {
    OriginalPreviewCacheKey key;
    SharedImage image;    // the developed unedited image
    PixelSize sourceSize; // JPEG/HEIF: the decoded image before resizing; RAW: the development
    int targetLongEdge = 0;
};

// The one prepared original preview, shown the moment the user asks for the unedited photo.
class OriginalPreviewCache {
public:
    // The entry when it was made for exactly this key.
    std::optional<OriginalPreviewCacheEntry> value(const OriginalPreviewCacheKey& key) const;
    void store(OriginalPreviewCacheEntry entry);
    void clear();
    bool isEmpty() const;

private:
    mutable std::mutex lock_;
    std::optional<OriginalPreviewCacheEntry> entry_;
};

} // namespace sorvin
