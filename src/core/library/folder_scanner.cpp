#include "library/folder_scanner.hpp"

#include "platform/exif_date_time.hpp"
#include "platform/image_properties.hpp"
#include "platform/parallel_for.hpp"

#include <atomic>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <tbb/blocked_range.h>
#include <unordered_set>

namespace sorvin {

namespace {

// A photo with its cache entry: the loaded cache's own for a hit (not copied), or a new one.
struct MetadataSlot {
    Photo photo;
    std::optional<ScanCacheEntry> newEntry;
    const ScanCacheEntry* cachedEntry = nullptr;
};

ImageContainer containerOf(PhotoFileFormat format) {
    switch (format) {
    case PhotoFileFormat::jpeg:
        return ImageContainer::jpeg;
    case PhotoFileFormat::heif:
        return ImageContainer::heif;
    case PhotoFileFormat::raw:
        return ImageContainer::raw;
    }
    return ImageContainer::jpeg;
}

constexpr std::size_t progressStep = 50;

// State the workers of one scan share. Files are counted without a lock; the lock orders the
// existence checks and the progress calls, which come every 50 files and at the end.
struct SharedScanState {
    std::mutex lock;
    std::atomic<std::size_t> processed = 0;
    std::size_t reported = 0; // under the lock
    std::atomic<bool> cancelled = false;
    std::atomic<bool> inaccessible = false;

    // Counts one file. The worker that reaches a multiple of 50 (or the total) reports, in order,
    // every such count up to its own that no other worker reported first, so the reports keep
    // increasing whichever worker gets the lock first.
    void counted(const std::filesystem::path& root, std::size_t total,
                 const FolderScanner::Progress& progress) {
        const std::size_t count = processed.fetch_add(1) + 1;
        if (count % progressStep != 0 && count != total) return;
        std::lock_guard guard(lock);
        while (reported + progressStep <= count) {
            reported += progressStep;
            struct stat info {};
            if (::stat(root.c_str(), &info) != 0) inaccessible = true;
            progress(reported, total);
        }
        if (count == total && reported < total) {
            reported = total;
            progress(total, total);
        }
    }
};

} // namespace

const char* FolderScannerError::what() const noexcept {
    return kind_ == Kind::inaccessible ? "folder inaccessible" : "scan cancelled";
}

std::optional<Photo> FolderScanner::metadata(const std::filesystem::path& url,
                                             const std::string& relativePath) {
    const auto format = photoFileFormatFrom(url);
    if (!format) return std::nullopt;
    const auto properties = ImagePropertiesReader::read(url, containerOf(*format));
    if (!properties || properties->pixelWidth < 1 || properties->pixelHeight < 1) return std::nullopt;
    Photo photo;
    photo.url = url;
    photo.relativePath = relativePath;
    if (properties->dateTimeOriginal) photo.captureDate = ExifDateTime::parse(*properties->dateTimeOriginal);
    const long orientation = properties->orientation.value_or(1);
    photo.orientation = orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
    photo.pixelWidth = properties->pixelWidth;
    photo.pixelHeight = properties->pixelHeight;
    photo.fileFormat = *format;
    return photo;
}

ScanResult FolderScanner::scan(const std::filesystem::path& folder, bool includeSubfolders,
                               const Progress& progress, const CancelProbe& isCancelled,
                               const std::filesystem::path& cachesRoot,
                               const MetadataReader& metadataReader) {
    // The cache file is read while the folder is listed: the two are independent.
    const std::filesystem::path root = standardized(folder);
    const std::filesystem::path cacheFile = scanCacheURL(root, cachesRoot);
    std::future<LoadedScanCache> loading =
        std::async(std::launch::async, [&] { return readCache(cacheFile, root.string()); });
    // Each worker takes what it needs from its own candidate, so the list is not shared read-only.
    std::vector<ScanCandidate> candidates = FolderScanner::candidates(folder, includeSubfolders, isCancelled);
    const std::size_t total = candidates.size();
    progress(0, total);
    const LoadedScanCache loaded = loading.get();
    const ScanCacheEntries& cache = loaded.entries;

    std::vector<std::optional<MetadataSlot>> slots(total);
    SharedScanState shared;

    auto step = [&](std::size_t i) {
        if (isCancelled()) shared.cancelled = true;
        if (shared.cancelled || shared.inaccessible) return;
        ScanCandidate& candidate = candidates[i];
        // A name that is not UTF-8 gives no key, hence no photo: it counts as unreadable.
        if (candidate.relativePath) {
            const std::string& key = *candidate.relativePath;
            std::optional<MetadataSlot> slot;
            if (candidate.identity) {
                if (auto hit = cache.find(key); hit != cache.end() && hit->second.isValid() &&
                                                hit->second.size == candidate.identity->size &&
                                                hit->second.mtime == candidate.identity->mtime) {
                    slot = MetadataSlot{*hit->second.photo(std::move(candidate.url), key), std::nullopt,
                                        &hit->second};
                }
            }
            if (!slot) {
                if (auto photo = metadataReader(candidate.url, key)) {
                    std::optional<ScanCacheEntry> entry;
                    if (candidate.identity) entry = ScanCacheEntry(*photo, *candidate.identity);
                    slot = MetadataSlot{std::move(*photo), std::move(entry), nullptr};
                }
            }
            slots[i] = std::move(slot); // each index owns its slot: no lock
        }
        shared.counted(root, total, progress);
    };
    parallelFor(tbb::blocked_range<std::size_t>(0, total, 1),
                [&](const tbb::blocked_range<std::size_t>& range) {
                    for (std::size_t i = range.begin(); i != range.end(); ++i)
                        step(i);
                });

    if (shared.inaccessible) throw FolderScannerError(FolderScannerError::Kind::inaccessible);
    if (shared.cancelled || isCancelled()) throw FolderScannerError(FolderScannerError::Kind::cancelled);

    // Collect in candidate order. Two names that are one text in NFC make one key: the first file
    // keeps it and any other counts as unreadable, so every photo's key stays unique.
    std::vector<Photo> photos;
    photos.reserve(total); // no reallocation: the key views below point into these photos
    std::unordered_set<std::string_view> keys;
    keys.reserve(total);
    std::size_t unreadableCount = 0;
    std::size_t hits = 0;
    for (auto& slot : slots) {
        if (!slot || keys.count(slot->photo.relativePath)) {
            ++unreadableCount;
            continue;
        }
        photos.push_back(std::move(slot->photo));
        keys.insert(photos.back().relativePath);
        if (slot->cachedEntry) ++hits;
    }

    const std::size_t photoCount = photos.size();
    keys.clear(); // its views point into the photos that pairing moves on
    auto [paired, pairedCount] = pairRawAndDisplayFiles(std::move(photos));

    // A cache file that already holds exactly these entries (every photo a hit on a file that kept
    // all its members, and no other entry) stays as it is.
    if (!loaded.allEntriesKept || hits != photoCount || hits != loaded.entries.size()) {
        ScanCacheFile newCache;
        newCache.folder = root.string();
        newCache.entries.reserve(photoCount);
        for (std::size_t i = 0; i < total; ++i) {
            if (!slots[i]) continue;
            if (slots[i]->newEntry)
                newCache.entries.emplace(*candidates[i].relativePath, std::move(*slots[i]->newEntry));
            else if (slots[i]->cachedEntry)
                newCache.entries.emplace(*candidates[i].relativePath, *slots[i]->cachedEntry);
        }
        writeCache(newCache, cacheFile);
    }
    return ScanResult{Photo::sorted(std::move(paired)), unreadableCount, pairedCount};
}

} // namespace sorvin
