#pragma once

#include "engine/raw_development_request.hpp"
#include "engine/raw_development_result.hpp"
#include "engine/raw_development_settings.hpp"

#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace sorvin {

struct RawDevelopmentCacheKey {
    std::string photoIdentifier;
    RawDevelopmentSettings settings;

    friend bool operator==(const RawDevelopmentCacheKey&, const RawDevelopmentCacheKey&) = default;
};

// The development of the photo being shown, one entry, shared by the background preview work and
// readers on the main thread. Developments run outside the lock, several at once if need be; the
// generation counter keeps a development that removeResult() overtook from being stored. The key
// holds no size: a request for the same photo and settings is answered from the entry whatever
// its long edge.
class RawDevelopmentCache {
public:
    using Development = std::function<std::optional<RawDevelopmentResult>(const RawDevelopmentRequest&)>;

    // By default develops through RawDeveloper.
    RawDevelopmentCache();
    explicit RawDevelopmentCache(Development development);

    std::optional<RawDevelopmentResult> result(const RawDevelopmentRequest& request);
    // Never develops.
    std::optional<RawDevelopmentResult> cachedResult(const std::string& photoIdentifier) const;
    std::optional<RawDevelopmentResult> cachedResult(const RawDevelopmentCacheKey& key) const;
    // Also keeps every development begun before this call from being stored.
    void removeResult(const RawDevelopmentCacheKey& key);
    // Empties the entry, with the same effect on developments under way.
    void removeAll();
    // Makes a development made past the entry (a neighbour's, made before it was shown) the
    // entry; developments begun before this call are not stored over it.
    void store(RawDevelopmentCacheKey key, RawDevelopmentResult result);

    // Develops without looking at or touching the entry, so a one-off development (the unedited
    // preview, a neighbour's) never displaces the development of the photo shown.
    std::optional<RawDevelopmentResult> developWithoutCaching(const RawDevelopmentRequest& request);
    // How many developments went past the entry that way.
    long long uncachedDevelopmentCount() const;

private:
    struct Entry {
        RawDevelopmentCacheKey key;
        RawDevelopmentResult result;
    };
    const Development development_;
    mutable std::mutex lock_;
    std::optional<Entry> entry_;
    long long generation_ = 0;
    long long uncachedDevelopments_ = 0;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::RawDevelopmentCacheKey> {
    std::size_t operator()(const sorvin::RawDevelopmentCacheKey& key) const noexcept;
};
