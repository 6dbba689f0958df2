// The scan cache: one JSON file per scanned folder in the user's caches folder. It only speeds
// scans up, so every problem with it is silent.
#include "library/folder_scanner.hpp"
#include "library/scan_cache_reader.hpp"
#include "platform/atomic_file.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"

#include <nlohmann/json.hpp>

namespace sorvin {

namespace {

using Json = nlohmann::json;

} // namespace

std::filesystem::path FolderScanner::defaultCachesRoot() {
    return XdgFolders::cacheHome();
}

std::filesystem::path FolderScanner::scanCacheURL(const std::filesystem::path& folder,
                                                  const std::filesystem::path& cachesRoot) {
    const std::string digest = Sha256::hex(standardized(folder).string());
    return cachesRoot / "Sorvin" / ("scan-" + digest.substr(0, 16) + ".json");
}

LoadedScanCache FolderScanner::readCache(const std::filesystem::path& cacheFile, const std::string& folder) {
    std::string text;
    try {
        text = AtomicFile::read(cacheFile, std::size_t{64} << 20);
    } catch (...) {
        return {};
    }
    return ScanCacheReader::read(text, folder);
}

ScanCacheEntries FolderScanner::loadCache(const std::filesystem::path& cacheFile, const std::string& folder) {
    return readCache(cacheFile, folder).entries;
}

void FolderScanner::writeCache(const ScanCacheFile& cache, const std::filesystem::path& cacheFile) {
    try {
        Json entries = Json::object();
        for (const auto& [key, entry] : cache.entries) {
            Json value = {{"size", entry.size}, {"mtime", entry.mtime}, {"orient", entry.orient},
                          {"w", entry.w},       {"h", entry.h},         {"fmt", entry.fmt}};
            if (entry.date) value["date"] = *entry.date;
            entries[key] = std::move(value);
        }
        const Json root = {
            {"version", cache.version}, {"folder", cache.folder}, {"entries", std::move(entries)}};
        // Compact, keys in sorted order, "/" unescaped; a folder path that is not UTF-8 throws here.
        const std::string text = root.dump();
        std::error_code ignored;
        std::filesystem::create_directories(cacheFile.parent_path(), ignored);
        AtomicFile::write(cacheFile, text);
    } catch (...) {
        // The cache is only an accelerator: the scan goes on without it.
    }
}

} // namespace sorvin
