#pragma once

#include "persistence/parameter_preset.hpp"
#include "persistence/parameter_preset_store.hpp"

#include <functional>
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

// The presets in display order, as this copy of the program last read or wrote them. Another copy
// may change the stored presets too, so a change here is one change of one preset, named by its
// name, made over the list as stored when it is written: saving a preset (in place of the one of
// that name, else at the end), renaming it, deleting it, or moving it next to its neighbour.
// What the other copy did to other presets stays; a preset deleted there stays deleted (a rename
// or move of it here changes nothing; only saving its name again brings it back), and a rename to
// a name that another copy has given to a preset in the meantime is not made. After each change
// the list is the one the preferences hold: this copy's changes over the file as last read or
// written; what the file holds once the change is written there is taken in by reload(). Main
// thread only.
class ParameterPresetManager {
public:
    ParameterPresetManager(ParameterPresetStore& store, std::vector<ParameterPreset> presets)
        : store_(store), presets_(std::move(presets)) {}

    const std::vector<ParameterPreset>& presets() const { return presets_; }
    // Takes in the presets the preferences hold now, another copy's among them once the
    // preferences have read or written the file; true when the list changed.
    bool reload();

    // Overwrites the first preset of that name in place (even with a full list), else appends
    // while fewer than 20 exist in the list held: unavailable when it is full (another copy may
    // have filled it), and presets() is then that full list.
    ParameterPresetSaveResult save(std::string_view rawName, const PhotoParameters& parameters);
    ParameterPresetRenameResult rename(int index, std::string_view rawName);
    // None for an index outside the list.
    std::optional<ParameterPresetDeleteResult> remove(int index);
    // Swaps with the neighbour and gives the preset's new index; none at either end of the list.
    std::optional<int> move(int index, ParameterPresetMoveDirection direction);

private:
    void change(std::function<void(std::vector<ParameterPreset>&)> edit);
    std::optional<std::size_t> indexOf(std::string_view name) const;

    ParameterPresetStore& store_;
    std::vector<ParameterPreset> presets_;
};

} // namespace sorvin
