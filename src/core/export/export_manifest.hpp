#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// A regular file's size and modification time, the test for "unchanged".
struct FileIdentity {
    std::int64_t size = 0;
    std::int64_t mtime = 0; // milliseconds since 1970, truncated toward zero

    bool operator==(const FileIdentity&) const = default;
};

// A file written by an export: its path below the destination ("IMG_0001.jpg",
// "JPEG/IMG_0001.jpg", "originals/IMG_0001.CR3"), byte size and modification time.
struct ExportManifestFileRecord {
    std::string file;
    std::int64_t size = 0;
    std::int64_t mtime = 0; // milliseconds since 1970, truncated
    // For the copy of an original: its source's identity when it was copied. The copy's own time
    // is its source's only as finely as the disk keeps times (FAT 2 s, exFAT 10 ms), so whether
    // the source changed is told by this. Older manifests have none.
    std::optional<FileIdentity> source = std::nullopt;

    bool operator==(const ExportManifestFileRecord&) const = default;
};

// What one export item left: the identity of the source it was made from, the fingerprint of
// every setting that shaped its pixels, and the files written for it.
struct ExportManifestEntry {
    std::int64_t srcSize = 0;
    std::int64_t srcMtime = 0;
    std::string params;                                      // 64 lower-case hexadecimal digits
    std::map<std::string, ExportManifestFileRecord> outputs; // by "jpeg" / "heic"
    std::optional<ExportManifestFileRecord> original;
    std::optional<ExportManifestFileRecord> companion; // the copy of the RAW companion

    bool operator==(const ExportManifestEntry&) const = default;
};

// The memory of the exports into one destination folder, kept in the support folder. Entries are
// keyed by the standardized path of a photo's main file, with "#B" for its copy B.
struct ExportManifest {
    static constexpr int kVersion = 1;
    static constexpr std::string_view kCopyBSuffix = "#B";

    // The key of a photo's copy A, which names the photo, from the key of either copy.
    static std::string photoKey(std::string_view key) {
        if (key.ends_with(kCopyBSuffix)) key.remove_suffix(kCopyBSuffix.size());
        return std::string(key);
    }

    int version = kVersion;
    std::string folder; // the destination's standardized path
    std::map<std::string, ExportManifestEntry> entries;

    bool operator==(const ExportManifest&) const = default;
};


} // namespace sorvin
