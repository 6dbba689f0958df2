#pragma once

#include "model/raw_development_support.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace sorvin {

// The support of every RAW file developed since start, by photo identifier (relative path).
// Written by developments on any thread, read on the main thread; emptied when another folder opens.
class RawDevelopmentSupportStore {
public:
    void record(const std::string& photoIdentifier, const RawDevelopmentSupport& support);
    // None for a photo not developed yet; the controller then treats every control as supported.
    std::optional<RawDevelopmentSupport> support(const std::string& photoIdentifier) const;
    void clear();

private:
    mutable std::mutex lock_;
    std::unordered_map<std::string, RawDevelopmentSupport> supportByPhotoIdentifier_;
};

} // namespace sorvin
