#pragma once

#include "library/scan_cache_entry.hpp"

#include <string>
#include <string_view>

namespace sorvin {

// A scan cache file as read: its usable entries, and whether every member of the file was kept
// (a file that says exactly what a new write would say need not be written again).
struct LoadedScanCache {
    ScanCacheEntries entries;
    bool allEntriesKept = false;
};

// Reads the text of a scan cache file in one pass, straight into entries. The text must be one
// well-formed JSON object (UTF-8, no trailing content) with "version" the integer
// ScanCacheFile::kVersion, "folder" the expected folder and "entries" an object; otherwise nothing
// is usable. Each entry is judged by itself. An integer is a JSON number written without fraction
// or exponent whose value fits a signed 64-bit integer: booleans, strings of digits, 1.0 and 2e3
// are not integers. Of members that occur twice, the last counts.
namespace ScanCacheReader {

LoadedScanCache read(std::string_view text, const std::string& folder);

} // namespace ScanCacheReader

} // namespace sorvin
