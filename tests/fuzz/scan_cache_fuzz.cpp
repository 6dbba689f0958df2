// The text of a folder's scan cache. Every entry it gives can describe a photo.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "library/scan_cache_reader.hpp"

SORVIN_FUZZ_TARGET(scan_cache) {
    using namespace sorvin;
    const auto cache = ScanCacheReader::read(fuzz::text(data), "/photos");
    if (!cache.entries.empty()) fuzz::reached();
    for (const auto& [path, entry] : cache.entries) {
        fuzz::require(entry.isValid(), "an invalid entry was kept");
        fuzz::require(entry.photo("/photos/" + path, path).has_value(), "an entry gives no photo");
    }
}
