#include "engine/raw_development_cache.hpp"

#include "engine/raw_developer.hpp"
#include "platform/hash_combine.hpp"

namespace sorvin {

RawDevelopmentCache::RawDevelopmentCache() : RawDevelopmentCache(&RawDeveloper::develop) {}

RawDevelopmentCache::RawDevelopmentCache(Development development) : development_(std::move(development)) {}

std::optional<RawDevelopmentResult> RawDevelopmentCache::result(const RawDevelopmentRequest& request) {
    RawDevelopmentCacheKey key{request.photoIdentifier, RawDevelopmentSettings(request.parameters)};
    long long startGeneration;
    {
        std::lock_guard guard(lock_);
        if (entry_ && entry_->key == key) return entry_->result;
        startGeneration = generation_;
    }
    std::optional<RawDevelopmentResult> developed = development_(request);
    if (!developed) return std::nullopt;
    std::lock_guard guard(lock_);
    if (generation_ == startGeneration) entry_ = Entry{std::move(key), *developed};
    return developed;
}

std::optional<RawDevelopmentResult>
RawDevelopmentCache::cachedResult(const std::string& photoIdentifier) const {
    std::lock_guard guard(lock_);
    if (entry_ && entry_->key.photoIdentifier == photoIdentifier) return entry_->result;
    return std::nullopt;
}

std::optional<RawDevelopmentResult>
RawDevelopmentCache::cachedResult(const RawDevelopmentCacheKey& key) const {
    std::lock_guard guard(lock_);
    if (entry_ && entry_->key == key) return entry_->result;
    return std::nullopt;
}

void RawDevelopmentCache::removeResult(const RawDevelopmentCacheKey& key) {
    std::lock_guard guard(lock_);
    ++generation_;
    if (entry_ && entry_->key == key) entry_.reset();
}

void RawDevelopmentCache::removeAll() {
    std::lock_guard guard(lock_);
    ++generation_;
    entry_.reset();
}

void RawDevelopmentCache::store(RawDevelopmentCacheKey key, RawDevelopmentResult result) {
    std::lock_guard guard(lock_);
    ++generation_;
    entry_ = Entry{std::move(key), std::move(result)};
}

std::optional<RawDevelopmentResult>
RawDevelopmentCache::developWithoutCaching(const RawDevelopmentRequest& request) {
    {
        std::lock_guard guard(lock_);
        ++uncachedDevelopments_;
    }
    return development_(request);
}

long long RawDevelopmentCache::uncachedDevelopmentCount() const {
    std::lock_guard guard(lock_);
    return uncachedDevelopments_;
}

} // namespace sorvin

std::size_t std::hash<sorvin::RawDevelopmentCacheKey>::operator()(
    const sorvin::RawDevelopmentCacheKey& key) const noexcept {
    std::size_t seed = std::hash<std::string>{}(key.photoIdentifier);
    sorvin::hashCombine(seed, key.settings);
    return seed;
}
