#include "persistence/parameter_preset_manager.hpp"

#include "persistence/parameter_preset_name.hpp"

#include <algorithm>
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

std::optional<std::size_t> ParameterPresetManager::indexOf(std::string_view name) const {
    const auto it = std::find_if(presets_.begin(), presets_.end(),
                                 [&](const ParameterPreset& preset) { return preset.name == name; });
    if (it == presets_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - presets_.begin());
}

ParameterPresetSaveResult ParameterPresetManager::save(std::string_view rawName,
                                                       const PhotoParameters& parameters) {
    auto name = ParameterPresetName::validated(rawName);
    if (!name) return {};
    if (const auto existing = indexOf(*name)) {
        presets_[*existing] = ParameterPreset{*name, parameters, true};
        store_.save(presets_);
        return {ParameterPresetSaveResult::Kind::overwritten, *name};
    }
    if (presets_.size() >= ParameterPresetStore::maxPresets) return {};
    presets_.push_back(ParameterPreset{*name, parameters, true});
    store_.save(presets_);
    return {ParameterPresetSaveResult::Kind::saved, *name};
}

ParameterPresetRenameResult ParameterPresetManager::rename(int index, std::string_view rawName) {
    using Kind = ParameterPresetRenameResult::Kind;
    auto name = ParameterPresetName::validated(rawName);
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size() || !name)
        return {Kind::invalid, {}, {}};
    auto& preset = presets_[static_cast<std::size_t>(index)];
    if (preset.name == *name) return {Kind::unchanged, {}, preset};
    if (indexOf(*name)) return {Kind::duplicate, {}, {}};
    std::string previous = std::exchange(preset.name, *name);
    store_.save(presets_);
    return {Kind::renamed, std::move(previous), preset};
}

std::optional<ParameterPresetDeleteResult> ParameterPresetManager::remove(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size()) return std::nullopt;
    ParameterPreset removed = std::move(presets_[static_cast<std::size_t>(index)]);
    presets_.erase(presets_.begin() + index);
    store_.save(presets_);
    const int count = static_cast<int>(presets_.size());
    return ParameterPresetDeleteResult{std::move(removed), count == 0 ? 0 : std::min(index, count - 1),
                                       count == 0};
}

std::optional<int> ParameterPresetManager::move(int index, ParameterPresetMoveDirection direction) {
    const int target = direction == ParameterPresetMoveDirection::up ? index - 1 : index + 1;
    const int count = static_cast<int>(presets_.size());
    if (index < 0 || index >= count || target < 0 || target >= count) return std::nullopt;
    std::swap(presets_[static_cast<std::size_t>(index)], presets_[static_cast<std::size_t>(target)]);
    store_.save(presets_);
    return target;
}

} // namespace sorvin
