#include "loading/display_resize_cache.hpp"

namespace sorvin {

SharedImage DisplayResizeCache::image(const DisplayResizeCacheKey& key, const Resize& resize) {
    std::lock_guard guard(lock_);
    if (entry_ && entry_->key == key) return entry_->image;
    SharedImage resized = resize();
    if (resized) entry_ = Entry{key, resized};
    return resized;
}

std::optional<DisplayResizeCacheKey> DisplayResizeCache::storedKey() const {
    std::lock_guard guard(lock_);
    if (!entry_) return std::nullopt;
    return entry_->key;
}

SharedImage DisplayResizeCache::storedImage() const {
    std::lock_guard guard(lock_);
    return entry_ ? entry_->image : nullptr;
}

void DisplayResizeCache::clear() {
    std::lock_guard guard(lock_);
    entry_.reset();
}

} // namespace sorvin
