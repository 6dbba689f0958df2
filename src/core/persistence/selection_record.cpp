#include "persistence/selection_record.hpp"

#include "model/photo_rotation.hpp"
#include "persistence/selection_rotation.hpp"

#include <algorithm>
#include <set>

namespace sorvin {

namespace {

template <typename T>
void dropIf(SelectionRecord::PathMap<T>& map, auto&& predicate) {
    std::erase_if(map, [&](const auto& entry) { return predicate(entry.second); });
}

// The kinds the masks of one photo follow: those recorded for it when they are usable, else
// those its parameter sets already have.
std::vector<MaskKind> photoMaskKinds(const std::vector<MaskKind>* recorded, const PhotoParameters* params,
                                     const PhotoParameters* paramsRaw) {
    const MaskKindCatalog& catalog = MaskKindCatalog::current();
    if (recorded && recorded->size() <= 4 &&
        std::all_of(recorded->begin(), recorded->end(),
                    [&](const MaskKind& kind) { return catalog.definition(kind) != nullptr; }))
        return *recorded;
    if (params && !params->masks.empty()) return params->maskKinds();
    if (paramsRaw) return paramsRaw->maskKinds();
    return {};
}

template <typename T>
T* find(SelectionRecord::PathMap<T>& map, const std::string& path) {
    const auto found = map.find(path);
    return found == map.end() ? nullptr : &found->second;
}

} // namespace

SelectionRecord SelectionRecord::normalized(SelectionRecord record) {
    const MaskKindCatalog& catalog = MaskKindCatalog::current();

    for (const auto& [path, exposure] : record.brightness) {
        if (record.params.contains(path)) continue;
        PhotoParameters folded = PhotoParameters::zero();
        folded.setValue(std::clamp(exposure, -100, 100), PhotoParameter::exposure,
                        ParameterEditTarget::global());
        record.params.emplace(path, std::move(folded));
    }
    dropIf(record.params, [](const PhotoParameters& p) { return !keepsParameters(p); });
    dropIf(record.paramsRaw, [](const PhotoParameters& p) { return !keepsParameters(p); });

    std::set<std::string> paths;
    for (const auto& entry : record.params)
        paths.insert(entry.first);
    for (const auto& entry : record.paramsRaw)
        paths.insert(entry.first);
    for (const auto& entry : record.masks)
        paths.insert(entry.first);
    for (const auto& path : paths) {
        PhotoParameters* params = find(record.params, path);
        PhotoParameters* paramsRaw = find(record.paramsRaw, path);
        std::vector<MaskKind> kinds = photoMaskKinds(find(record.masks, path), params, paramsRaw);
        if (kinds.size() > 4) kinds.resize(4);
        if (params) params->synchronizeMaskKinds(kinds);
        if (paramsRaw) paramsRaw->synchronizeMaskKinds(kinds);
        if (kinds.empty())
            record.masks.erase(path);
        else
            record.masks[path] = std::move(kinds);
    }

    record.brightness.clear();
    for (const auto& [path, parameters] : record.params)
        if (const int exposure = parameters[PhotoParameter::exposure]; exposure != 0)
            record.brightness.emplace(path, exposure);

    dropIf(record.sources, [](PhotoSource source) { return source != PhotoSource::raw; });

    for (auto& [path, copy] : record.retouchesB) {
        std::vector<MaskKind> kinds;
        for (std::size_t i = 0; i < copy.masks.size() && i < 4; ++i)
            if (catalog.definition(copy.masks[i])) kinds.push_back(copy.masks[i]);
        copy.params = copy.params.sanitized(false);
        copy.params.synchronizeMaskKinds(kinds);
        copy.paramsRaw.synchronizeMaskKinds(kinds);
        copy.rotation = PhotoRotation::stored(copy.rotation).value_or(0.0);
        copy.masks = std::move(kinds);
    }
    return record;
}

} // namespace sorvin
