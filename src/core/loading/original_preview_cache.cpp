#include "loading/original_preview_cache.hpp"

#include "engine/geometry_adjustment.hpp"

namespace sorvin {

std::vector<int> OriginalPreviewCacheKey::geometryValuesOf(const PhotoParameters& parameters) {
    const GeometryValues v = GeometryValues::of(parameters);
    return {v.distortion, v.chromaticRed, v.chromaticBlue, v.perspectiveVertical, v.perspectiveHorizontal,
            v.aspect,     v.zoom};
}

std::optional<OriginalPreviewCacheEntry>
OriginalPreviewCache::value(const OriginalPreviewCacheKey& key) const {
    std::lock_guard guard(lock_);
    if (entry_ && entry_->key == key) return entry_;
    return std::nullopt;
}

void OriginalPreviewCache::store(OriginalPreviewCacheEntry entry) {
    std::lock_guard guard(lock_);
    entry_ = std::move(entry);
}

void OriginalPreviewCache::clear() {
    std::lock_guard guard(lock_);
    entry_.reset();
}

bool OriginalPreviewCache::isEmpty() const {
    std::lock_guard guard(lock_);
    return !entry_;
}

} // namespace sorvin
