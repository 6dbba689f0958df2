#include "persistence/parameter_preset_save_form_state.hpp"

#include "persistence/parameter_preset_name.hpp"
#include "persistence/parameter_preset_store.hpp"

#include <algorithm>

namespace sorvin {

ParameterPresetSaveFormState::ParameterPresetSaveFormState(std::string_view rawName,
                                                           const std::vector<ParameterPreset>& presets)
    : name(ParameterPresetName::normalized(rawName)) {
    if (!ParameterPresetName::validated(name)) return;
    const auto existing = std::find_if(presets.begin(), presets.end(),
                                       [&](const ParameterPreset& preset) { return preset.name == name; });
    if (existing != presets.end()) {
        overwriteIndex = static_cast<int>(existing - presets.begin());
        notice = Notice::overwrite;
        canSave = true;
    } else if (presets.size() < ParameterPresetStore::maxPresets) {
        canSave = true;
    } else {
        notice = Notice::limitReached;
    }
}

std::string_view ParameterPresetSaveFormState::noticeText(Notice notice) {
    switch (notice) {
    case Notice::overwrite:
        return "同じ名前のプリセットがあります。上書きします";
    case Notice::limitReached:
        break;
    }
    return "プリセットは20個までです。既存の名前を入れて上書きするか、整理して減らしてください";
}

} // namespace sorvin
