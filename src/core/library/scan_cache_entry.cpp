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

std::optional<Photo> ScanCacheEntry::photo(const std::filesystem::path& url,
                                           const std::string& relativePath) const {
    const auto format = photoFileFormatFromRawValue(fmt);
    if (size < 0 || orient < 1 || orient > 8 || w < 1 || h < 1 || !format) return std::nullopt;
    if (w > INT32_MAX || h > INT32_MAX) return std::nullopt;
    // Dates beyond what the clock holds (about 290 years around 1970) are damage, not photos.
    constexpr std::int64_t maxDateMilliseconds = 9'000'000'000'000;
    if (date && (*date > maxDateMilliseconds || *date < -maxDateMilliseconds)) return std::nullopt;
    Photo photo;
    photo.url = url;
    photo.relativePath = relativePath;
    if (date)
        photo.captureDate =
            CaptureDate(std::chrono::duration_cast<CaptureDate::duration>(std::chrono::milliseconds(*date)));
    photo.orientation = static_cast<int>(orient);
    photo.pixelWidth = static_cast<int>(w);
    photo.pixelHeight = static_cast<int>(h);
    photo.fileFormat = *format;
    return photo;
}

} // namespace sorvin
