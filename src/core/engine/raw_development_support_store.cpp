#include "engine/raw_development_support_store.hpp"

namespace sorvin {

void RawDevelopmentSupportStore::record(const std::string& photoIdentifier,
                                        const RawDevelopmentSupport& support) {
    std::lock_guard guard(lock_);
    supportByPhotoIdentifier_[photoIdentifier] = support;
}

std::optional<RawDevelopmentSupport>
RawDevelopmentSupportStore::support(const std::string& photoIdentifier) const {
    std::lock_guard guard(lock_);
    const auto found = supportByPhotoIdentifier_.find(photoIdentifier);
    if (found == supportByPhotoIdentifier_.end()) return std::nullopt;
    return found->second;
}

void RawDevelopmentSupportStore::clear() {
    std::lock_guard guard(lock_);
    supportByPhotoIdentifier_.clear();
}

} // namespace sorvin
