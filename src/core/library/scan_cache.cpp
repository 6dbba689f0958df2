// The scan cache: one JSON file per scanned folder in the user's caches folder. It only speeds
// scans up, so every problem with it is silent.
#include "library/folder_scanner.hpp"
#include "platform/atomic_file.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"

#include <nlohmann/json.hpp>

namespace sorvin {

namespace {

using Json = nlohmann::json;

// An integer as the cache means it: a JSON number written without fraction or exponent whose
// value fits a signed 64-bit integer. Booleans, strings of digits and 1.0 are not integers.
std::optional<std::int64_t> integer(const Json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto unsignedValue = value.get<std::uint64_t>();
        if (unsignedValue <= static_cast<std::uint64_t>(INT64_MAX))
            return static_cast<std::int64_t>(unsignedValue);
    }
    return std::nullopt;
}

std::optional<std::int64_t> integerMember(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    return integer(*it);
}

std::optional<ScanCacheEntry> entryFrom(const Json& value) {
    if (!value.is_object()) return std::nullopt;
    ScanCacheEntry entry;
    const auto size = integerMember(value, "size");
    const auto mtime = integerMember(value, "mtime");
    const auto orient = integerMember(value, "orient");
    const auto w = integerMember(value, "w");
    const auto h = integerMember(value, "h");
    const auto fmt = value.find("fmt");
    if (!size || !mtime || !orient || !w || !h || fmt == value.end() || !fmt->is_string())
        return std::nullopt;
    if (auto date = value.find("date"); date != value.end()) {
        entry.date = integer(*date);
        if (!entry.date) return std::nullopt;
    }
    entry.size = *size;
    entry.mtime = *mtime;
    entry.orient = *orient;
    entry.w = *w;
    entry.h = *h;
    entry.fmt = fmt->get<std::string>();
    // Only entries that would give a photo are worth keeping.
    if (!entry.photo({}, {})) return std::nullopt;
    return entry;
}

} // namespace

std::filesystem::path FolderScanner::defaultCachesRoot() {
    return XdgFolders::cacheHome();
}

std::filesystem::path FolderScanner::scanCacheURL(const std::filesystem::path& folder,
                                                  const std::filesystem::path& cachesRoot) {
    const std::string digest = Sha256::hex(standardized(folder).string());
    return cachesRoot / "Sorvin" / ("scan-" + digest.substr(0, 16) + ".json");
}

std::map<std::string, ScanCacheEntry> FolderScanner::loadCache(const std::filesystem::path& cacheFile,
                                                               const std::string& folder) {
    std::map<std::string, ScanCacheEntry> entries;
    std::string text;
    try {
        text = AtomicFile::read(cacheFile, std::size_t{64} << 20);
    } catch (...) {
        return entries;
    }
    const Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return entries; // also what a parse error gives
    const auto version = root.find("version");
    const auto folderValue = root.find("folder");
    const auto entriesValue = root.find("entries");
    if (version == root.end() || integer(*version) != 1) return entries;
    if (folderValue == root.end() || !folderValue->is_string() || folderValue->get<std::string>() != folder)
        return entries;
    if (entriesValue == root.end() || !entriesValue->is_object()) return entries;
    for (const auto& [key, value] : entriesValue->items()) {
        if (auto entry = entryFrom(value)) entries.emplace(key, std::move(*entry));
    }
    return entries;
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
