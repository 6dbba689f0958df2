#pragma once

#include "persistence/parameter_preset.hpp"
#include "persistence/parameter_preset_store.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// A message about a preset; every one lasts 1.5 s.
struct ParameterPresetToast {
    std::string text;
    double duration = 1.5;

    friend bool operator==(const ParameterPresetToast&, const ParameterPresetToast&) = default;
};

struct ParameterPresetSaveResult {
    enum class Kind { saved, overwritten, unavailable };
    Kind kind = Kind::unavailable;
    // The preset's name for saved and overwritten.
    std::string name;

    std::optional<ParameterPresetToast> toast() const;
    friend bool operator==(const ParameterPresetSaveResult&, const ParameterPresetSaveResult&) = default;
};

struct ParameterPresetRenameResult {
    enum class Kind { renamed, unchanged, invalid, duplicate };
    Kind kind = Kind::invalid;
    // renamed: the name before; empty otherwise.
    std::string previousName;
    // renamed: the renamed preset; unchanged: the preset as it is.
    std::optional<ParameterPreset> preset;

    friend bool operator==(const ParameterPresetRenameResult&, const ParameterPresetRenameResult&) = default;
};

struct ParameterPresetDeleteResult {
    ParameterPreset preset;
    // The index to select afterwards: the deleted index or the new last one, 0 for an empty list.
    int nextSelectedIndex = 0;
    bool isEmpty = false;

    friend bool operator==(const ParameterPresetDeleteResult&, const ParameterPresetDeleteResult&) = default;
};

enum class ParameterPresetMoveDirection { up, down };

// The presets in display order, the truth while the program runs. Every change is written through
// the store at once, with the whole list. Main thread only.
class ParameterPresetManager {
public:
    ParameterPresetManager(ParameterPresetStore& store, std::vector<ParameterPreset> presets)
        : store_(store), presets_(std::move(presets)) {}

    const std::vector<ParameterPreset>& presets() const { return presets_; }

    // Overwrites the first preset of that name in place (even with a full list), else appends
    // while fewer than 20 exist.
    ParameterPresetSaveResult save(std::string_view rawName, const PhotoParameters& parameters);
    ParameterPresetRenameResult rename(int index, std::string_view rawName);
    // None for an index outside the list.
    std::optional<ParameterPresetDeleteResult> remove(int index);
    // Swaps with the neighbour and gives the preset's new index; none at either end of the list.
    std::optional<int> move(int index, ParameterPresetMoveDirection direction);

private:
    std::optional<std::size_t> indexOf(std::string_view name) const;

    ParameterPresetStore& store_;
    std::vector<ParameterPreset> presets_;
};

} // namespace sorvin
