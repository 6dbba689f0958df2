#include "model/photo.hpp"

#include "platform/hash_combine.hpp"
#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <numeric>

namespace sorvin {

namespace {

std::string lastComponent(const std::filesystem::path& url) {
    return url.filename().string();
}

struct SortEntry {
    std::size_t index;
    LocalizedTextOrder::Key nameKey; // empty unless sorting by date
    LocalizedTextOrder::Key pathKey;
};

} // namespace

PhotoAsset Photo::asset(PhotoSource source) const {
    if (source == PhotoSource::raw && rawCompanionURL) {
        return PhotoAsset{
            .url = *rawCompanionURL,
            .relativePath = rawCompanionRelativePath.value_or(lastComponent(*rawCompanionURL)),
            .orientation = rawCompanionOrientation.value_or(1),
            .pixelWidth = rawCompanionPixelWidth.value_or(pixelWidth),
            .pixelHeight = rawCompanionPixelHeight.value_or(pixelHeight),
            .fileFormat = PhotoFileFormat::raw,
        };
    }
    return PhotoAsset{url, relativePath, orientation, pixelWidth, pixelHeight, fileFormat};
}

std::vector<Photo::OriginalFile> Photo::originalFiles() const {
    std::vector<OriginalFile> files{{url, lastComponent(url)}};
    if (rawCompanionURL) files.push_back({*rawCompanionURL, lastComponent(*rawCompanionURL)});
    return files;
}

std::vector<Photo> Photo::sorted(std::vector<Photo> photos, PhotoSortKey key, bool ascending) {
    // The collation keys are computed once per photo rather than once per comparison.
    std::vector<SortEntry> entries;
    entries.reserve(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        entries.push_back({i,
                           key == PhotoSortKey::date ? LocalizedTextOrder::key(lastComponent(photos[i].url))
                                                     : LocalizedTextOrder::Key{},
                           LocalizedTextOrder::key(photos[i].relativePath)});
    }

    if (key == PhotoSortKey::date) {
        std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
            const auto& dateA = photos[a.index].captureDate;
            const auto& dateB = photos[b.index].captureDate;
            if (dateA.has_value() != dateB.has_value()) return dateA.has_value();
            if (dateA && *dateA != *dateB) return ascending ? *dateA < *dateB : *dateA > *dateB;
            if (a.nameKey != b.nameKey) return a.nameKey < b.nameKey;
            return a.pathKey < b.pathKey;
        });
    } else {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const SortEntry& a, const SortEntry& b) { return a.pathKey < b.pathKey; });
        if (!ascending) std::reverse(entries.begin(), entries.end());
    }

    std::vector<Photo> result;
    result.reserve(photos.size());
    for (const SortEntry& entry : entries)
        result.push_back(std::move(photos[entry.index]));
    return result;
}

std::vector<Photo> Photo::sorted(std::vector<Photo> photos) {
    return sorted(std::move(photos), PhotoSortKey::date, true);
}

} // namespace sorvin

std::size_t std::hash<sorvin::Photo>::operator()(const sorvin::Photo& photo) const noexcept {
    using sorvin::hashCombine;
    std::size_t seed = std::filesystem::hash_value(photo.url);
    hashCombine(seed, photo.relativePath);
    hashCombine(seed, photo.captureDate ? photo.captureDate->time_since_epoch().count() : -1);
    hashCombine(seed, photo.captureDate.has_value());
    hashCombine(seed, photo.orientation);
    hashCombine(seed, photo.pixelWidth);
    hashCombine(seed, photo.pixelHeight);
    hashCombine(seed, sorvin::rawValue(photo.fileFormat));
    hashCombine(seed, photo.rawCompanionURL ? std::filesystem::hash_value(*photo.rawCompanionURL) : 0);
    hashCombine(seed, photo.rawCompanionRelativePath);
    hashCombine(seed, photo.rawCompanionOrientation);
    hashCombine(seed, photo.rawCompanionPixelWidth);
    hashCombine(seed, photo.rawCompanionPixelHeight);
    return seed;
}
