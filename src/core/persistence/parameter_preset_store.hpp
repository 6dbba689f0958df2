#pragma once

#include "persistence/parameter_preset.hpp"
#include "platform/defaults_store.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The user's presets, kept as one JSON text in the preference "sorvin.presets". Reads the current
// layout and the older one (circular mask centres on a ten times smaller scale, masks keyed by
// kind only) and silently drops whatever it cannot use. Another copy of the program may change the
// presets too: a change is made over the list as the file holds it when it is written (see
// change), which the preferences' own thread does after the change is made in memory. Main thread
// only.
class ParameterPresetStore {
public:
    static constexpr std::size_t maxPresets = 20;
    // A stored text that could not be read (damaged, or written by a newer version) is moved here
    // before a save replaces it, so the user's presets are never lost to the first change.
    static constexpr std::string_view backupKey = "sorvin.presetsBackup";

    explicit ParameterPresetStore(DefaultsStore& defaults) : defaults_(defaults) {}

    // Stores the presets that apply parameters, the first 20 of them, in place of any list.
    void save(const std::vector<ParameterPreset>& presets);
    // Changes the list held and the stored list as it is when written (another copy may have
    // changed it since this one read it), keeping the presets that apply parameters, the first 20
    // of them. The edit may run more than once, each time on the stored list: applied twice it
    // must give what applying it once gives.
    void change(std::function<void(std::vector<ParameterPreset>&)> edit);
    // Never writes and never fails: anything unreadable gives an empty list.
    ParameterPresetLoadResult load() const;

    // The stored text of exactly these presets.
    static std::string jsonString(const std::vector<ParameterPreset>& presets);

private:
    // The presets of a stored text; none for no text.
    static std::vector<ParameterPreset> presetsIn(const std::string* text);

    DefaultsStore& defaults_;
};

} // namespace sorvin
