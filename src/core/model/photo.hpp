#pragma once

#include "model/photo_asset.hpp"
#include "model/photo_file_format.hpp"
#include "model/photo_sort_key.hpp"
#include "model/photo_source.hpp"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

using CaptureDate = std::chrono::system_clock::time_point;

// One entry of the photo list: a display file (JPEG, HEIF, or a RAW file without partner) and,
// optionally, the RAW file paired with it. Its identity everywhere is `relativePath`; equality
// and hashing cover every field.
struct Photo {
    std::filesystem::path url;
    std::string relativePath;
    std::optional<CaptureDate> captureDate;
    int orientation = 1; // EXIF 1-8
    int pixelWidth = 0;
    int pixelHeight = 0;
    PhotoFileFormat fileFormat = PhotoFileFormat::jpeg;
    std::optional<std::filesystem::path> rawCompanionURL;
    std::optional<std::string> rawCompanionRelativePath;
    std::optional<int> rawCompanionOrientation;
    std::optional<int> rawCompanionPixelWidth;
    std::optional<int> rawCompanionPixelHeight;

    bool operator==(const Photo&) const = default;

    const std::string& id() const { return relativePath; }
    bool hasRawCompanion() const { return rawCompanionURL.has_value(); }

    // What a request without a source means: raw for a RAW main file, jpeg otherwise.
    PhotoSource resolvedSource(std::optional<PhotoSource> source) const {
        if (source) return *source;
        return fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
    }

    // The file to decode for a source; the display file unless `raw` is asked and a companion
    // exists. Missing companion values fall back to the companion's file name, orientation 1 and
    // the display file's pixel size.
    PhotoAsset asset(PhotoSource source) const;

    struct OriginalFile {
        std::filesystem::path url;
        std::string fileName;
        bool operator==(const OriginalFile&) const = default;
    };
    // The display file, then the RAW companion when there is one.
    std::vector<OriginalFile> originalFiles() const;

    // A stable sort of a photo list. By date: dated photos first (earlier first when ascending,
    // later first when descending), undated ones after them; ties by file name, then by relative
    // path, always ascending. By name: the relative path; descending reverses the whole ascending
    // order. Names compare in the localized order with numeric digit runs.
    static std::vector<Photo> sorted(std::vector<Photo> photos, PhotoSortKey key, bool ascending);
    // The same order as positions into a list of photos held elsewhere.
    static std::vector<std::size_t> sortedOrder(const std::vector<const Photo*>& photos, PhotoSortKey key,
                                                bool ascending);
    // The order of a folder scan: by date, ascending.
    static std::vector<Photo> sorted(std::vector<Photo> photos);
};

} // namespace sorvin

template <>
struct std::hash<sorvin::Photo> {
    std::size_t operator()(const sorvin::Photo& photo) const noexcept;
};
