#include "model/photo.hpp"

#include "platform/hash_combine.hpp"
#include "platform/localized_text_order.hpp"

#include <algorithm>
#include <numeric>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

namespace sorvin {

namespace {

std::string lastComponent(const std::filesystem::path& url) {
    return url.filename().string();
}

struct SortEntry {
    std::size_t index = 0;
    LocalizedTextOrder::Key nameKey; // filled in only where dates tie
    LocalizedTextOrder::Key pathKey; // filled in only where dates and names tie, or by name
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
    std::vector<SortEntry> entries(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i)
        entries[i].index = i;
    // Collation keys are costly: each is computed once, only for the photos whose order needs it,
    // all of them in one parallel pass.
    auto computeKeys = [&](const std::vector<SortEntry*>& wanted, auto compute) {
        tbb::parallel_for(tbb::blocked_range<std::size_t>(0, wanted.size(), 128), [&](const auto& range) {
            for (std::size_t i = range.begin(); i != range.end(); ++i)
                compute(*wanted[i]);
        });
    };
    auto pathKey = [&](SortEntry& entry) {
        entry.pathKey = LocalizedTextOrder::key(photos[entry.index].relativePath);
    };
    auto nameKey = [&](SortEntry& entry) {
        entry.nameKey = LocalizedTextOrder::key(lastComponent(photos[entry.index].url));
    };
    // Stable-sorts each run of entries that `same` calls equal by the key that `compute` fills in.
    auto sortRuns = [&](auto same, auto compute, auto keyOf) {
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        std::vector<SortEntry*> wanted;
        for (std::size_t first = 0; first < entries.size();) {
            std::size_t last = first + 1;
            while (last < entries.size() && same(entries[first], entries[last]))
                ++last;
            if (last - first > 1) {
                runs.emplace_back(first, last);
                for (std::size_t i = first; i < last; ++i)
                    wanted.push_back(&entries[i]);
            }
            first = last;
        }
        computeKeys(wanted, compute);
        for (const auto& [first, last] : runs) {
            std::stable_sort(entries.begin() + static_cast<std::ptrdiff_t>(first),
                             entries.begin() + static_cast<std::ptrdiff_t>(last),
                             [&](const SortEntry& a, const SortEntry& b) { return keyOf(a) < keyOf(b); });
        }
    };

    if (key == PhotoSortKey::date) {
        std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
            const auto& dateA = photos[a.index].captureDate;
            const auto& dateB = photos[b.index].captureDate;
            if (dateA.has_value() != dateB.has_value()) return dateA.has_value();
            return dateA && *dateA != *dateB && (ascending ? *dateA < *dateB : *dateA > *dateB);
        });
        // Equal dates (or none): by file name, then by relative path, both ascending.
        auto sameDate = [&](const SortEntry& a, const SortEntry& b) {
            return photos[a.index].captureDate == photos[b.index].captureDate;
        };
        sortRuns(sameDate, nameKey,
                 [](const SortEntry& e) -> const LocalizedTextOrder::Key& { return e.nameKey; });
        auto sameDateAndName = [&](const SortEntry& a, const SortEntry& b) {
            return sameDate(a, b) && a.nameKey == b.nameKey;
        };
        sortRuns(sameDateAndName, pathKey,
                 [](const SortEntry& e) -> const LocalizedTextOrder::Key& { return e.pathKey; });
    } else {
        std::vector<SortEntry*> all;
        for (SortEntry& entry : entries)
            all.push_back(&entry);
        computeKeys(all, pathKey);
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
