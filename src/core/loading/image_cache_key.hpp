#pragma once

#include "model/photo_source.hpp"
#include "platform/hash_combine.hpp"

#include <string>
#include <string_view>

namespace sorvin {

// A photo's decoded images, running decodes and failed loads are keyed by the relative path of
// its main file (for both sources) with the source.
struct ImageCacheKey {
    std::string path;
    PhotoSource source = PhotoSource::jpeg;

    friend bool operator==(const ImageCacheKey&, const ImageCacheKey&) = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::ImageCacheKey> {
    std::size_t operator()(const sorvin::ImageCacheKey& key) const noexcept {
        std::size_t seed = std::hash<std::string>{}(key.path);
        sorvin::hashCombine(seed, sorvin::rawValue(key.source));
        return seed;
    }
};
