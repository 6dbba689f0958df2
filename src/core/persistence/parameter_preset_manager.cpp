#include "persistence/parameter_preset_manager.hpp"

#include "persistence/parameter_preset_name.hpp"

#include <algorithm>
#include <functional>
#include <utility>

namespace sorvin {

std::optional<ParameterPresetToast> ParameterPresetSaveResult::toast() const {
    switch (kind) {
    case Kind::saved:
        return ParameterPresetToast{"プリセット「" + name + "」を保存しました"};
    case Kind::overwritten:
        return ParameterPresetToast{"プリセット「" + name + "」を上書きしました"};
    case Kind::unavailable:
        break;
    }
    return std::nullopt;
}

namespace {

template <typename Presets>
auto named(Presets& presets, std::string_view name) {
    return std::find_if(presets.begin(), presets.end(),
                        [&](const ParameterPreset& preset) { return preset.name == name; });
}

} // namespace

std::optional<std::size_t> ParameterPresetManager::indexOf(std::string_view name) const {
    const auto it = named(presets_, name);
    if (it == presets_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - presets_.begin());
}

bool ParameterPresetManager::reload() {
    auto stored = store_.load().presets;
    if (stored == presets_) return false;
    presets_ = std::move(stored);
    return true;
}

// Each change names its preset and is made over the stored list, so that what another copy of the
// program did to other presets stays; the list shown becomes the one held.
void ParameterPresetManager::change(std::function<void(std::vector<ParameterPreset>&)> edit) {
    store_.change(std::move(edit));
    presets_ = store_.load().presets;
}

ParameterPresetSaveResult ParameterPresetManager::save(std::string_view rawName,
                                                       const PhotoParameters& parameters) {
    auto name = ParameterPresetName::validated(rawName);
    if (!name) return {};
    const bool exists = indexOf(*name).has_value();
    if (!exists && presets_.size() >= ParameterPresetStore::maxPresets) return {};
    change([preset = ParameterPreset{*name, parameters, true}](std::vector<ParameterPreset>& stored) {
        if (const auto it = named(stored, preset.name); it != stored.end())
            *it = preset;
        else if (stored.size() < ParameterPresetStore::maxPresets)
            stored.push_back(preset);
    });
    // Another copy of the program may have filled the list meanwhile: then nothing was kept.
    if (!indexOf(*name)) return {};
    return {exists ? ParameterPresetSaveResult::Kind::overwritten : ParameterPresetSaveResult::Kind::saved, *name};
}

ParameterPresetRenameResult ParameterPresetManager::rename(int index, std::string_view rawName) {
    using Kind = ParameterPresetRenameResult::Kind;
    auto name = ParameterPresetName::validated(rawName);
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size() || !name)
        return {Kind::invalid, {}, {}};
    ParameterPreset preset = presets_[static_cast<std::size_t>(index)];
    if (preset.name == *name) return {Kind::unchanged, {}, preset};
    if (indexOf(*name)) return {Kind::duplicate, {}, {}};
    std::string previous = std::exchange(preset.name, *name);
    // A name another copy has given to a preset in the meantime stays that preset's.
    change([previous, name = *name](std::vector<ParameterPreset>& stored) {
        const auto it = named(stored, previous);
        if (it != stored.end() && named(stored, name) == stored.end()) it->name = name;
    });
    return {Kind::renamed, std::move(previous), std::move(preset)};
}

std::optional<ParameterPresetDeleteResult> ParameterPresetManager::remove(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size()) return std::nullopt;
    ParameterPreset removed = presets_[static_cast<std::size_t>(index)];
    change([name = removed.name](std::vector<ParameterPreset>& stored) {
        if (const auto it = named(stored, name); it != stored.end()) stored.erase(it);
    });
    const int count = static_cast<int>(presets_.size());
    return ParameterPresetDeleteResult{std::move(removed), count == 0 ? 0 : std::min(index, count - 1),
                                       count == 0};
}

std::optional<int> ParameterPresetManager::move(int index, ParameterPresetMoveDirection direction) {
    const int target = direction == ParameterPresetMoveDirection::up ? index - 1 : index + 1;
    const int count = static_cast<int>(presets_.size());
    if (index < 0 || index >= count || target < 0 || target >= count) return std::nullopt;
    const std::string name = presets_[static_cast<std::size_t>(index)].name;
    const std::string neighbour = presets_[static_cast<std::size_t>(target)].name;
    // Stated as "just before (or after) the neighbour", which is the same when made twice.
    change([name, neighbour, up = direction == ParameterPresetMoveDirection::up](std::vector<ParameterPreset>& stored) {
        auto it = named(stored, name);
        if (it == stored.end() || named(stored, neighbour) == stored.end()) return;
        ParameterPreset moving = std::move(*it);
        stored.erase(it);
        auto place = named(stored, neighbour);
        stored.insert(up ? place : place + 1, std::move(moving));
    });
    return static_cast<int>(indexOf(name).value_or(static_cast<std::size_t>(target)));
}

} // namespace sorvin
