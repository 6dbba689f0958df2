#pragma once

#include "persistence/parameter_preset.hpp"
#include "platform/defaults_store.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The user's presets, kept as one JSON text in the preference "sorvin.presets". Reads the current
// layout and the older one (circular mask centres on a ten times smaller scale, masks keyed by
// kind only) and silently drops whatever it cannot use. Main thread only.
class ParameterPresetStore {
public:
    static constexpr std::size_t maxPresets = 20;
    // A stored text that could not be read (damaged, or written by a newer version) is moved here
    // before a save replaces it, so the user's presets are never lost to the first change.
    static constexpr std::string_view backupKey = "sorvin.presetsBackup";

    explicit ParameterPresetStore(DefaultsStore& defaults) : defaults_(defaults) {}

    // Writes the presets that apply parameters, the first 20 of them, at once.
    void save(const std::vector<ParameterPreset>& presets);
    // Never writes and never fails: anything unreadable gives an empty list.
    ParameterPresetLoadResult load() const;

    // The stored text of exactly these presets.
    static std::string jsonString(const std::vector<ParameterPreset>& presets);

private:
    DefaultsStore& defaults_;
};

} // namespace sorvin
