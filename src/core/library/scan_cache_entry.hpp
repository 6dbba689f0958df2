#pragma once

#include "model/photo.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

namespace sorvin {

// A file's identity for the scan cache: its size in bytes and its content modification time in
// milliseconds since 1970 UTC, truncated toward zero.
struct CacheIdentity {
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    bool operator==(const CacheIdentity&) const = default;
};

// What the scan cache remembers of one file: its identity and the values a Photo needs.
struct ScanCacheEntry {
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    std::optional<std::int64_t> date; // capture date, ms since 1970 UTC
    std::int64_t orient = 1;
    std::int64_t w = 0;
    std::int64_t h = 0;
    std::string fmt;

    ScanCacheEntry() = default;
    ScanCacheEntry(const Photo& photo, CacheIdentity identity);

    // Whether the values can describe a photo: a size of 0 or more, orientation 1...8, no empty
    // side, a known format, a date the clock can hold.
    bool isValid() const;
    // The photo these values describe, or nothing when they are not valid.
    std::optional<Photo> photo(std::filesystem::path url, std::string relativePath) const;

    bool operator==(const ScanCacheEntry&) const = default;
};

// Entries by relative path. The file lists them in sorted order; in memory only lookups matter.
using ScanCacheEntries = std::unordered_map<std::string, ScanCacheEntry>;

// The whole cache file of one scanned folder.
struct ScanCacheFile {
    // 2 since RAW files are listed at the size they develop to: the files of version 1 hold the
    // sizes LibRaw reports before it stretches non-square pixels and turns diagonal sensors, so
    // none of their entries is trusted.
    static constexpr int kVersion = 2;
    int version = kVersion;
    std::string folder;
    ScanCacheEntries entries;
};

} // namespace sorvin
