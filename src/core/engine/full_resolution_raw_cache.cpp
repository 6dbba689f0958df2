#include "engine/full_resolution_raw_cache.hpp"

#include "platform/hash_combine.hpp"

namespace sorvin {

std::optional<RawDevelopmentResult>
FullResolutionRawCache::result(const FullResolutionRawCacheKey& key) const {
    std::lock_guard guard(lock_);
    if (entry_ && entry_->key == key) return entry_->result;
    return std::nullopt;
}

void FullResolutionRawCache::store(FullResolutionRawCacheKey key, RawDevelopmentResult result) {
    std::lock_guard guard(lock_);
    entry_ = Entry{std::move(key), std::move(result)};
}

void FullResolutionRawCache::clear() {
    std::lock_guard guard(lock_);
    entry_.reset();
}

} // namespace sorvin

std::size_t std::hash<sorvin::FullResolutionRawCacheKey>::operator()(
    const sorvin::FullResolutionRawCacheKey& key) const noexcept {
    std::size_t seed = std::hash<std::string>{}(key.relativePath);
    sorvin::hashCombine(seed, key.settings);
    return seed;
}
