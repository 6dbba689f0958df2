#include "persistence/selection_record_photos.hpp"

#include <algorithm>
#include <iterator>
#include <vector>

namespace sorvin::SelectionRecordPhotos {

namespace {

template <typename T>
std::optional<T> entry(const SelectionRecord::PathMap<T>& map, const std::string& path) {
    const auto found = map.find(path);
    return found == map.end() ? std::nullopt : std::optional<T>(found->second);
}

template <typename T>
void put(SelectionRecord::PathMap<T>& map, const std::string& path, const std::optional<T>& value) {
    if (value)
        map[path] = *value;
    else
        map.erase(path);
}

template <typename T>
void addKeys(std::vector<std::string>& paths, const SelectionRecord::PathMap<T>& map) {
    for (const auto& item : map)
        paths.push_back(item.first);
}

// The keys whose entries differ between two maps, in one walk of both.
template <typename T>
void addDiffering(std::vector<std::string>& out, const SelectionRecord::PathMap<T>& a,
                  const SelectionRecord::PathMap<T>& b) {
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() || j != b.end()) {
        if (j == b.end() || (i != a.end() && i->first < j->first)) {
            out.push_back((i++)->first);
        } else if (i == a.end() || j->first < i->first) {
            out.push_back((j++)->first);
        } else {
            if (!(i->second == j->second)) out.push_back(i->first);
            ++i;
            ++j;
        }
    }
}

std::set<std::string> sortedSet(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return {std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end())};
}

// Brightness mirrors the exposure of the parameters; a stale one would come back as exposure.
void mirrorBrightness(SelectionRecord& record, const std::string& path) {
    record.brightness.erase(path);
    if (const auto params = record.params.find(path); params != record.params.end())
        if (const int exposure = params->second[PhotoParameter::exposure]; exposure != 0)
            record.brightness[path] = exposure;
}

} // namespace

std::set<std::string> paths(const SelectionRecord& record) {
    std::vector<std::string> all(record.hearts.begin(), record.hearts.end());
    addKeys(all, record.rotations);
    addKeys(all, record.crops);
    addKeys(all, record.masks);
    addKeys(all, record.params);
    addKeys(all, record.paramsRaw);
    addKeys(all, record.sources);
    addKeys(all, record.retouchesB);
    return sortedSet(std::move(all));
}

bool holds(const SelectionRecord& record, const std::string& path) {
    return std::binary_search(record.hearts.begin(), record.hearts.end(), path) ||
           record.rotations.contains(path) || record.crops.contains(path) || record.masks.contains(path) ||
           record.params.contains(path) || record.paramsRaw.contains(path) || record.sources.contains(path) ||
           record.retouchesB.contains(path);
}

SelectionPhotoValues of(const SelectionRecord& record, const std::string& path) {
    return {std::binary_search(record.hearts.begin(), record.hearts.end(), path),
            entry(record.rotations, path),
            entry(record.crops, path),
            entry(record.masks, path),
            entry(record.params, path),
            entry(record.paramsRaw, path),
            entry(record.sources, path),
            entry(record.retouchesB, path)};
}

void set(SelectionRecord& record, const std::string& path, const SelectionPhotoValues& values) {
    const auto heart = std::lower_bound(record.hearts.begin(), record.hearts.end(), path);
    const bool hearted = heart != record.hearts.end() && *heart == path;
    if (values.heart && !hearted) record.hearts.insert(heart, path);
    if (!values.heart && hearted) record.hearts.erase(heart);
    put(record.rotations, path, values.rotation);
    put(record.crops, path, values.crop);
    put(record.masks, path, values.masks);
    put(record.params, path, values.params);
    put(record.paramsRaw, path, values.paramsRaw);
    put(record.sources, path, values.source);
    put(record.retouchesB, path, values.retouchB);
    mirrorBrightness(record, path);
}

void setAll(SelectionRecord& record, const std::set<std::string>& paths, const SelectionRecord& from) {
    if (paths.empty()) return;
    // The hearts in one merge: the record's outside the paths, and from's inside them.
    std::vector<std::string> kept;
    std::set_difference(record.hearts.begin(), record.hearts.end(), paths.begin(), paths.end(),
                        std::back_inserter(kept));
    std::vector<std::string> taken;
    std::set_intersection(from.hearts.begin(), from.hearts.end(), paths.begin(), paths.end(),
                          std::back_inserter(taken));
    record.hearts.clear();
    std::merge(kept.begin(), kept.end(), taken.begin(), taken.end(), std::back_inserter(record.hearts));
    for (const std::string& path : paths) {
        put(record.rotations, path, entry(from.rotations, path));
        put(record.crops, path, entry(from.crops, path));
        put(record.masks, path, entry(from.masks, path));
        put(record.params, path, entry(from.params, path));
        put(record.paramsRaw, path, entry(from.paramsRaw, path));
        put(record.sources, path, entry(from.sources, path));
        put(record.retouchesB, path, entry(from.retouchesB, path));
        mirrorBrightness(record, path);
    }
}

std::set<std::string> differing(const SelectionRecord& a, const SelectionRecord& b) {
    std::vector<std::string> all;
    std::set_symmetric_difference(a.hearts.begin(), a.hearts.end(), b.hearts.begin(), b.hearts.end(),
                                  std::back_inserter(all));
    addDiffering(all, a.rotations, b.rotations);
    addDiffering(all, a.crops, b.crops);
    addDiffering(all, a.masks, b.masks);
    addDiffering(all, a.params, b.params);
    addDiffering(all, a.paramsRaw, b.paramsRaw);
    addDiffering(all, a.sources, b.sources);
    addDiffering(all, a.retouchesB, b.retouchesB);
    return sortedSet(std::move(all));
}

} // namespace sorvin::SelectionRecordPhotos
