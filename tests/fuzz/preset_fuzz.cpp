// The stored text of the user's presets. Presets read from any text are saved and read back
// unchanged.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "persistence/preference_key.hpp"

SORVIN_FUZZ_TARGET(preset) {
    using namespace sorvin;
    DefaultsStore defaults;
    defaults.set(PreferenceKey::presets, std::string(fuzz::text(data)));
    const auto loaded = ParameterPresetStore(defaults).load();
    fuzz::require(loaded.presets.size() <= ParameterPresetStore::maxPresets, "too many presets");
    if (!loaded.presets.empty()) fuzz::reached();

    std::vector<ParameterPreset> kept;
    for (const auto& preset : loaded.presets)
        if (preset.appliesParameters) kept.push_back(preset);
    DefaultsStore saved;
    saved.set(PreferenceKey::presets, ParameterPresetStore::jsonString(kept));
    fuzz::require(ParameterPresetStore(saved).load().presets == kept, "presets change when saved");
}
