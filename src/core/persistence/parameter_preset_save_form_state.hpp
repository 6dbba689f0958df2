#pragma once

#include "persistence/parameter_preset.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// What the save sheet shows and allows for the name typed so far.
struct ParameterPresetSaveFormState {
    enum class Notice { overwrite, limitReached };

    // The normalised name.
    std::string name;
    // The preset that saving would overwrite.
    std::optional<int> overwriteIndex;
    std::optional<Notice> notice;
    bool canSave = false;

    ParameterPresetSaveFormState(std::string_view rawName, const std::vector<ParameterPreset>& presets);

    static std::string_view noticeText(Notice notice);

    friend bool operator==(const ParameterPresetSaveFormState&,
                           const ParameterPresetSaveFormState&) = default;
};

} // namespace sorvin
