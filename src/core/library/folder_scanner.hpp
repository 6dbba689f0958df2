#pragma once

#include "library/scan_cache_entry.hpp"
#include "library/scan_cache_reader.hpp"
#include "model/photo.hpp"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorvin {

// The value of a successful scan.
struct ScanResult {
    std::vector<Photo> photos;       // JPEG/HEIF and RAW files joined, sorted by capture date
    std::size_t unreadableCount = 0; // candidate files that gave no photo
    std::size_t pairedCount = 0;     // JPEG or HEIF files joined with a RAW file
};

// Why a scan gave no result (besides the file system's own errors when listing a folder).
class FolderScannerError : public std::exception {
public:
    enum class Kind { inaccessible, cancelled };
    explicit FolderScannerError(Kind kind) : kind_(kind) {}
    Kind kind() const { return kind_; }
    const char* what() const noexcept override;
    bool operator==(const FolderScannerError& other) const { return kind_ == other.kind_; }

private:
    Kind kind_;
};

// A file of the folder that may be a photo, as the directory walk found it.
struct ScanCandidate {
    std::filesystem::path url;
    // The key of the photo: the path below the folder, in NFC. Absent when a name on the way is
    // not valid UTF-8; such a file counts as unreadable.
    std::optional<std::string> relativePath;
    // Size and modification time from the walk's own lookup; absent when they could not be read.
    std::optional<CacheIdentity> identity;
};

// Turns an opened folder into its photos: lists the candidate files, reads each one's properties
// (or takes them from the scan cache), joins JPEG/HEIF files with their RAW files, rewrites the
// cache and sorts. Stateless; a scan keeps all its state inside the call.
struct FolderScanner {
    using Progress = std::function<void(std::size_t processed, std::size_t total)>;
    using CancelProbe = std::function<bool()>;
    // Reads one file's photo values; called from many threads at once.
    using MetadataReader = std::function<std::optional<Photo>(const std::filesystem::path& url,
                                                              const std::string& relativePath)>;

    // Throws FolderScannerError, or std::filesystem::filesystem_error when listing the folder
    // itself fails. `progress` is first called with (0, total) on the calling thread, then from the
    // workers (one at a time, counts increasing) every 50 files and at the end; it must return
    // promptly. `isCancelled` is asked during the listing, before each file and after the pass.
    static ScanResult scan(const std::filesystem::path& folder, bool includeSubfolders,
                           const Progress& progress, const CancelProbe& isCancelled,
                           const std::filesystem::path& cachesRoot,
                           const MetadataReader& metadataReader = metadata);

    // Listing: the folder's eligible files (not hidden, a photo extension, a regular file and not
    // a link, not empty), with hidden folders left out and unreadable subfolders passed over. A
    // long walk throws FolderScannerError (cancelled) as soon as `isCancelled` answers true.
    static std::vector<ScanCandidate> candidates(const std::filesystem::path& folder, bool includeSubfolders,
                                                 const CancelProbe& isCancelled = {});

    // The default metadata reader: pixel size, orientation and capture date without decoding.
    static std::optional<Photo> metadata(const std::filesystem::path& url, const std::string& relativePath);

    // The folder path used as the scan's root and the cache's identity: absolute, without "." or
    // ".." segments and without a trailing separator (symbolic links are kept as they are).
    static std::filesystem::path standardized(const std::filesystem::path& folder);

    // Joins a JPEG or HEIF file with the RAW file of the same base name in the same folder when
    // those two are the only files of that name there. Returns the photos (a pair at the position
    // of its first file) and the number of pairs.
    static std::pair<std::vector<Photo>, std::size_t> pairRawAndDisplayFiles(std::vector<Photo> photos);

    // The scan cache.
    static std::filesystem::path defaultCachesRoot();
    static std::filesystem::path scanCacheURL(const std::filesystem::path& folder,
                                              const std::filesystem::path& cachesRoot);
    // Every problem gives an empty map; bad entries are dropped one by one.
    static LoadedScanCache readCache(const std::filesystem::path& cacheFile, const std::string& folder);
    static ScanCacheEntries loadCache(const std::filesystem::path& cacheFile, const std::string& folder);
    // Silent on failure; the previous file stays as it was.
    static void writeCache(const ScanCacheFile& cache, const std::filesystem::path& cacheFile);
    static std::optional<CacheIdentity> cacheIdentity(const std::filesystem::path& file);
};

} // namespace sorvin
