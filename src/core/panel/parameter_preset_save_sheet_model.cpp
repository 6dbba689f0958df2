#include "panel/parameter_preset_save_sheet_model.hpp"

#include "model/photo_parameter.hpp"
#include "view/panel_colors.hpp"
#include "platform/grapheme_text.hpp"

namespace sorvin {

std::string ParameterPresetSaveSheetModel::limitedName(std::string_view text) {
    return GraphemeText::prefix(text, fieldLimit);
}

std::string ParameterPresetSaveSheetModel::description() {
    return "いま選ばれている側の" + std::to_string(ParameterCatalog::count) +
           "個の設定を保存します。\n回転・クロップ・ハートは保存されません。";
}

std::optional<SrgbColor> ParameterPresetSaveSheetModel::noticeColor(
    const std::optional<ParameterPresetSaveFormState::Notice>& notice) {
    if (!notice) return std::nullopt;
    return *notice == ParameterPresetSaveFormState::Notice::overwrite ? PanelColors::secondaryText
                                                                      : PanelColors::warningOrange;
}

} // namespace sorvin
