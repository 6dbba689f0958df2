#pragma once

#include "engine/raw_development_result.hpp"
#include "engine/raw_development_settings.hpp"

#include <mutex>
#include <optional>
#include <string>

namespace sorvin {

struct FullResolutionRawCacheKey {
    std::string relativePath;
    RawDevelopmentSettings settings;

    friend bool operator==(const FullResolutionRawCacheKey&, const FullResolutionRawCacheKey&) = default;
};

// The full-size development the loupe shows, one entry, assigned and cleared by its owner. It
// takes a lock of its own so that a reader on another thread is always safe.
class FullResolutionRawCache {
public:
    std::optional<RawDevelopmentResult> result(const FullResolutionRawCacheKey& key) const;
    void store(FullResolutionRawCacheKey key, RawDevelopmentResult result);
    void clear();

private:
    struct Entry {
        FullResolutionRawCacheKey key;
        RawDevelopmentResult result;
    };
    mutable std::mutex lock_;
    std::optional<Entry> entry_;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::FullResolutionRawCacheKey> {
    std::size_t operator()(const sorvin::FullResolutionRawCacheKey& key) const noexcept;
};
