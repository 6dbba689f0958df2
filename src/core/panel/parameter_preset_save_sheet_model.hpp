#pragma once

#include "persistence/parameter_preset_save_form_state.hpp"
#include "platform/srgb_color.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// The texts and rules of the sheet that saves the current settings as a preset. Validation is the
// save form state's; the sheet adds the field's length limit and what it says.
struct ParameterPresetSaveSheetModel {
    static constexpr std::string_view title = "プリセットとして保存";
    static constexpr std::size_t fieldLimit = 30;
    // The notice keeps to one line, shrinking down to this fraction of its size.
    static constexpr double noticeMinimumScale = 0.72;

    // What the name field keeps of typed or pasted text: its first 30 characters.
    static std::string limitedName(std::string_view text);
    // The line under the name field, with the number of parameters a preset holds.
    static std::string description();
    static std::optional<SrgbColor>
    noticeColor(const std::optional<ParameterPresetSaveFormState::Notice>& notice);
};

} // namespace sorvin
