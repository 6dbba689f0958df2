#include "persistence/selection_record_photos.hpp"

#include <algorithm>

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
void addKeys(std::set<std::string>& paths, const SelectionRecord::PathMap<T>& map) {
    for (const auto& item : map)
        paths.insert(item.first);
}

} // namespace

std::set<std::string> paths(const SelectionRecord& record) {
    std::set<std::string> all(record.hearts.begin(), record.hearts.end());
    addKeys(all, record.rotations);
    addKeys(all, record.crops);
    addKeys(all, record.masks);
    addKeys(all, record.params);
    addKeys(all, record.paramsRaw);
    addKeys(all, record.sources);
    addKeys(all, record.retouchesB);
    return all;
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
    // Brightness mirrors the exposure of the parameters; a stale one would come back as exposure.
    record.brightness.erase(path);
    if (values.params)
        if (const int exposure = (*values.params)[PhotoParameter::exposure]; exposure != 0)
            record.brightness[path] = exposure;
}

std::set<std::string> differing(const SelectionRecord& a, const SelectionRecord& b) {
    std::set<std::string> all = paths(a);
    all.merge(paths(b));
    std::erase_if(all, [&](const std::string& path) { return of(a, path) == of(b, path); });
    return all;
}

SelectionRecord combined(const SelectionRecord& onDisk, const SelectionRecord& mine,
                         const SelectionRecord& before) {
    SelectionRecord result = onDisk;
    for (const std::string& path : differing(mine, before))
        set(result, path, of(mine, path));
    result.version = mine.version;
    result.app = mine.app;
    result.updatedAt = mine.updatedAt;
    result.cursor = mine.cursor;
    return result;
}

SelectionRecord overlaid(SelectionRecord record, const SelectionRecord& newer,
                         const std::set<std::string>& newerPaths) {
    for (const std::string& path : newerPaths)
        set(record, path, of(newer, path));
    return record;
}

} // namespace sorvin::SelectionRecordPhotos
