#include "model/photo.hpp"

#include "platform/hash_combine.hpp"
#include "platform/localized_text_order.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <tbb/blocked_range.h>

namespace sorvin {

namespace {

std::string lastComponent(const std::filesystem::path& url) {
    return url.filename().string();
}

// The last component of a path as a view into it.
std::string_view fileName(const std::filesystem::path& url) {
    const std::string_view path = url.native();
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the collation (numeric, tertiary) surely orders two ASCII texts as their bytes do, found
// at their first difference: two letters of one case, or a digit against a letter, where no run of
// digits begins before it, or two digits in runs that begin at the same place and are as long.
// Elsewhere (letters of two cases, punctuation, runs of unequal length) it may not.
bool bytesFollowCollation(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n)
        return i == 0 || !isDigit(a[i - 1]) ||
               (i < a.size() ? !isDigit(a[i]) : i == b.size() || !isDigit(b[i]));
    const char x = a[i], y = b[i];
    if (static_cast<unsigned char>(x) >= 0x80 || static_cast<unsigned char>(y) >= 0x80) return false;
    const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const bool runBefore = i > 0 && isDigit(a[i - 1]);
    if (isDigit(x) && isDigit(y)) {
        std::size_t endA = i, endB = i;
        while (endA < a.size() && isDigit(a[endA]))
            ++endA;
        while (endB < b.size() && isDigit(b[endB]))
            ++endB;
        return endA == endB;
    }
    if (runBefore) return false;
    if ((lower(x) && lower(y)) || (upper(x) && upper(y))) return true;
    return (isDigit(x) && (lower(y) || upper(y))) || (isDigit(y) && (lower(x) || upper(x)));
}
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

std::vector<std::size_t> Photo::sortedOrder(const std::vector<const Photo*>& photos, PhotoSortKey key,
                                            bool ascending) {
    std::vector<std::size_t> order(photos.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::string_view> names(photos.size()), paths(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        names[i] = fileName(photos[i]->url);
        paths[i] = photos[i]->relativePath;
    }
    auto nameOf = [&](std::size_t i) { return names[i]; };
    auto pathOf = [&](std::size_t i) { return paths[i]; };

    // Stable-sorts order[first, last) by the collation of `textOf`. Texts whose bytes surely
    // follow the collation compare by their bytes; the others by collation keys, each computed
    // once: ahead in one parallel pass for texts that are not ASCII, when first needed for others.
    auto sortByCollation = [&](std::size_t first, std::size_t last, auto textOf,
                               std::vector<LocalizedTextOrder::Key>& keys, std::vector<char>& hasKey) {
        const auto begin = order.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = order.begin() + static_cast<std::ptrdiff_t>(last);
        // Most folders need no collation at all: sorted by their bytes, each text follows the one
        // before it in the collation too, and then the whole run is in collation order.
        const std::vector<std::size_t> input(begin, end);
        std::stable_sort(begin, end, [&](std::size_t a, std::size_t b) { return textOf(a) < textOf(b); });
        bool collated = true;
        for (auto i = begin; collated && i + 1 < end; ++i)
            collated = textOf(i[0]) == textOf(i[1]) || bytesFollowCollation(textOf(i[0]), textOf(i[1]));
        if (collated) return;
        std::copy(input.begin(), input.end(), begin); // back to the input order, which ties keep
        std::vector<std::size_t> foreign;
        for (auto i = begin; i != end; ++i) {
            const std::string_view text = textOf(*i);
            if (std::any_of(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
                foreign.push_back(*i);
        }
        parallelFor(tbb::blocked_range<std::size_t>(0, foreign.size(), 128), [&](const auto& range) {
            for (std::size_t i = range.begin(); i != range.end(); ++i) {
                keys[foreign[i]] = LocalizedTextOrder::key(textOf(foreign[i]));
                hasKey[foreign[i]] = 1;
            }
        });
        auto keyOf = [&](std::size_t i) -> const LocalizedTextOrder::Key& {
            if (!hasKey[i]) keys[i] = LocalizedTextOrder::key(textOf(i)), hasKey[i] = 1;
            return keys[i];
        };
        std::stable_sort(begin, end, [&](std::size_t a, std::size_t b) {
            const std::string_view x = textOf(a), y = textOf(b);
            if (bytesFollowCollation(x, y)) return x < y;
            return keyOf(a) < keyOf(b);
        });
    };
    std::vector<LocalizedTextOrder::Key> keys(photos.size());
    std::vector<char> hasKey(photos.size(), 0);
    // Sorts each run of the order that `same` calls equal.
    auto sortRuns = [&](auto same, auto textOf) {
        for (std::size_t first = 0; first < order.size();) {
            std::size_t last = first + 1;
            while (last < order.size() && same(order[first], order[last]))
                ++last;
            if (last - first > 1) sortByCollation(first, last, textOf, keys, hasKey);
            first = last;
        }
    };

    if (key == PhotoSortKey::date) {
        // The dates side by side, undated ones marked, so that the sort reads no photo.
        struct Dated {
            bool undated;
            CaptureDate::rep ticks;
        };
        std::vector<Dated> dates(photos.size());
        for (std::size_t i = 0; i < photos.size(); ++i) {
            const auto& date = photos[i]->captureDate;
            dates[i] = {!date, date ? date->time_since_epoch().count() : 0};
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const Dated x = dates[a], y = dates[b];
            if (x.undated != y.undated) return y.undated;
            return ascending ? x.ticks < y.ticks : x.ticks > y.ticks;
        });
        // Equal dates (or none): by file name, then, for identical names, by relative path, both
        // ascending (only identical texts compare the same).
        auto sameDate = [&](std::size_t a, std::size_t b) {
            return dates[a].undated == dates[b].undated && dates[a].ticks == dates[b].ticks;
        };
        sortRuns(sameDate, nameOf);
        std::fill(hasKey.begin(), hasKey.end(), 0);
        sortRuns([&](std::size_t a, std::size_t b) { return sameDate(a, b) && nameOf(a) == nameOf(b); },
                 pathOf);
    } else {
        sortByCollation(0, order.size(), pathOf, keys, hasKey);
        if (!ascending) std::reverse(order.begin(), order.end());
    }
    return order;
}

std::vector<Photo> Photo::sorted(std::vector<Photo> photos, PhotoSortKey key, bool ascending) {
    std::vector<const Photo*> pointers(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i)
        pointers[i] = &photos[i];
    std::vector<Photo> result;
    result.reserve(photos.size());
    for (const std::size_t i : sortedOrder(pointers, key, ascending))
        result.push_back(std::move(photos[i]));
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
