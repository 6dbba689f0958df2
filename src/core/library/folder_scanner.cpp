#include "library/folder_scanner.hpp"

#include "platform/exif_date_time.hpp"
#include "platform/image_properties.hpp"

#include <mutex>
#include <sys/stat.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <unordered_set>

namespace sorvin {

namespace {

struct MetadataSlot {
    Photo photo;
    std::optional<ScanCacheEntry> cacheEntry;
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

// State the workers of one scan share, guarded by its lock.
struct SharedScanState {
    std::mutex lock;
    std::size_t processed = 0;
    bool cancelled = false;
    bool inaccessible = false;
};

constexpr std::size_t progressStep = 50;

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
    const std::vector<ScanCandidate> candidates = FolderScanner::candidates(folder, includeSubfolders);
    const std::size_t total = candidates.size();
    progress(0, total);

    const std::filesystem::path root = standardized(folder);
    const std::filesystem::path cacheFile = scanCacheURL(root, cachesRoot);
    const std::map<std::string, ScanCacheEntry> cache = loadCache(cacheFile, root.string());

    std::vector<std::optional<MetadataSlot>> slots(total);
    SharedScanState shared;

    auto step = [&](std::size_t i) {
        const bool cancelNow = isCancelled();
        {
            std::lock_guard guard(shared.lock);
            if (cancelNow) shared.cancelled = true;
            if (shared.cancelled || shared.inaccessible) return;
        }
        const ScanCandidate& candidate = candidates[i];
        // A name that is not UTF-8 gives no key, hence no photo: it counts as unreadable.
        if (candidate.relativePath) {
            const std::string& key = *candidate.relativePath;
            std::optional<MetadataSlot> slot;
            if (candidate.identity) {
                if (auto hit = cache.find(key); hit != cache.end() &&
                                                hit->second.size == candidate.identity->size &&
                                                hit->second.mtime == candidate.identity->mtime) {
                    if (auto photo = hit->second.photo(candidate.url, key))
                        slot = MetadataSlot{std::move(*photo), hit->second};
                }
            }
            if (!slot) {
                if (auto photo = metadataReader(candidate.url, key)) {
                    std::optional<ScanCacheEntry> entry;
                    if (candidate.identity) entry = ScanCacheEntry(*photo, *candidate.identity);
                    slot = MetadataSlot{std::move(*photo), std::move(entry)};
                }
            }
            slots[i] = std::move(slot); // each index owns its slot: no lock
        }
        std::lock_guard guard(shared.lock);
        const std::size_t count = ++shared.processed;
        if (count % progressStep == 0) {
            struct stat info {};
            if (::stat(root.c_str(), &info) != 0) shared.inaccessible = true;
        }
        if (count % progressStep == 0 || count == total) progress(count, total);
    };
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, total, 1),
                      [&](const tbb::blocked_range<std::size_t>& range) {
                          for (std::size_t i = range.begin(); i != range.end(); ++i)
                              step(i);
                      });

    if (shared.inaccessible) throw FolderScannerError(FolderScannerError::Kind::inaccessible);
    if (shared.cancelled || isCancelled()) throw FolderScannerError(FolderScannerError::Kind::cancelled);

    // Collect in candidate order. Two names that are one text in NFC make one key: the first file
    // keeps it and any other counts as unreadable, so every photo's key stays unique.
    std::vector<Photo> photos;
    photos.reserve(total);
    ScanCacheFile newCache;
    newCache.folder = root.string();
    std::unordered_set<std::string> keys;
    keys.reserve(total);
    std::size_t unreadableCount = 0;
    for (auto& slot : slots) {
        if (!slot || !keys.insert(slot->photo.relativePath).second) {
            ++unreadableCount;
            continue;
        }
        if (slot->cacheEntry)
            newCache.entries.emplace(slot->photo.relativePath, std::move(*slot->cacheEntry));
        photos.push_back(std::move(slot->photo));
    }

    auto [paired, pairedCount] = pairRawAndDisplayFiles(photos);
    writeCache(newCache, cacheFile);
    return ScanResult{Photo::sorted(std::move(paired)), unreadableCount, pairedCount};
}

} // namespace sorvin
