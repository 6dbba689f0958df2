#include "library/scan_cache_entry.hpp"

#include <chrono>
#include <cstdint>

namespace sorvin {

ScanCacheEntry::ScanCacheEntry(const Photo& photo, CacheIdentity identity)
    : size(identity.size), mtime(identity.mtime), orient(photo.orientation), w(photo.pixelWidth),
      h(photo.pixelHeight), fmt(rawValue(photo.fileFormat)) {
    if (photo.captureDate) {
        // duration_cast truncates toward zero, as the stored milliseconds are defined.
        date = std::chrono::duration_cast<std::chrono::milliseconds>(photo.captureDate->time_since_epoch())
                   .count();
    }
}

bool ScanCacheEntry::isValid() const {
    if (size < 0 || orient < 1 || orient > 8 || w < 1 || h < 1 || !photoFileFormatFromRawValue(fmt))
        return false;
    if (w > INT32_MAX || h > INT32_MAX) return false;
    // Dates beyond what the clock holds (about 290 years around 1970) are damage, not photos.
    constexpr std::int64_t maxDateMilliseconds = 9'000'000'000'000;
    return !date || (*date <= maxDateMilliseconds && *date >= -maxDateMilliseconds);
}

std::optional<Photo> ScanCacheEntry::photo(std::filesystem::path url, std::string relativePath) const {
    if (!isValid()) return std::nullopt;
    Photo photo;
    photo.url = std::move(url);
    photo.relativePath = std::move(relativePath);
    if (date)
        photo.captureDate =
            CaptureDate(std::chrono::duration_cast<CaptureDate::duration>(std::chrono::milliseconds(*date)));
    photo.orientation = static_cast<int>(orient);
    photo.pixelWidth = static_cast<int>(w);
    photo.pixelHeight = static_cast<int>(h);
    photo.fileFormat = *photoFileFormatFromRawValue(fmt);
    return photo;
}

} // namespace sorvin
