#include "shell/command_cheat_sheet.hpp"

#include "persistence/parameter_preset_store.hpp"
#include "platform/grapheme_text.hpp"

#include <algorithm>

namespace sorvin {

namespace {

constexpr AdjustmentKeyModifiers kCommand{AdjustmentKeyModifiers::command};

} // namespace

const std::array<CommandCheatSheetEntry, 26>& CommandCheatSheet::labels() {
    static const std::array<CommandCheatSheetEntry, 26> table{{
        {{"Q", kCommand}, "終了"},         {{"E", kCommand}, "♥書き出し"},  {{"S", kCommand}, "1枚書き出し"},
        {{"U", kCommand}, "昇順↔降順"},    {{"I", kCommand}, "EXIFコピー"}, {{"O", kCommand}, "フォルダ"},
        {{"P", kCommand}, "画像コピー"},   {{"B", kCommand}, "写真最大化"}, {{"F", kCommand}, "絞り込み"},
        {{"G", kCommand}, "グリッド"},     {{"R", kCommand}, "ランダム"},   {{"L", kCommand}, "白黒警告"},
        {{"J", kCommand}, "並び順"},       {{"C", kCommand}, "設定コピー"}, {{"D", kCommand}, "複製"},
        {{"V", kCommand}, "設定貼付"},     {{"Z", kCommand}, "取り消し"},   {{"M", kCommand}, "最小化"},
        {{",", kCommand}, "設定"},         {{"9", kCommand}, "枠を縮小"},   {{"0", kCommand}, "枠を拡大"},
        {{"K", kCommand}, "切り抜き表示"}, {{"←", kCommand}, "枠を左"},     {{"→", kCommand}, "枠を右"},
        {{"↑", kCommand}, "枠を上"},       {{"↓", kCommand}, "枠を下"},
    }};
    return table;
}

const std::array<std::array<std::string_view, 10>, 4>& CommandCheatSheet::rows() {
    static const std::array<std::array<std::string_view, 10>, 4> table{{
        {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"},
        {"Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P"},
        {"A", "S", "D", "F", "G", "H", "J", "K", "L", ";"},
        {"Z", "X", "C", "V", "B", "N", "M", ",", ".", "/"},
    }};
    return table;
}

const std::array<std::string_view, 4>& CommandCheatSheet::arrowKeys() {
    static const std::array<std::string_view, 4> keys{"↑", "←", "↓", "→"};
    return keys;
}

std::map<std::string, std::string> CommandCheatSheet::visibleLabels(const ParameterPresetStore& presetStore) {
    std::map<std::string, std::string> result;
    for (const auto& entry : labels())
        if (entry.key.modifiers == kCommand) result[std::string(entry.key.key)] = std::string(entry.label);
    const auto presets = presetStore.load().presets;
    const int count =
        std::min<int>(static_cast<int>(presets.size()), CommandCheatSheetMetrics::maximumPresetKeys);
    for (int i = 0; i < count; ++i)
        result[std::to_string(i + 1)] =
            GraphemeText::prefix(presets[i].name, CommandCheatSheetMetrics::presetLabelLength);
    return result;
}

CommandCheatSheetMetrics::Origin CommandCheatSheetMetrics::arrowKeyOrigin(int index) {
    if (index == 0) return {arrowClusterX + keyPitch, arrowClusterY};
    return {arrowClusterX + keyPitch * (index - 1), arrowClusterY + keyPitch};
}

CommandCheatSheetMetrics::Fit CommandCheatSheetMetrics::fit(double areaWidth, double areaHeight) {
    const double w = std::max(0.0, areaWidth - 2 * padding);
    const double h = std::max(0.0, areaHeight - 2 * padding);
    Fit fit;
    fit.scale = std::min(w / keyboardWidth, h / keyboardHeight);
    fit.x = padding + (w - keyboardWidth * fit.scale) / 2;
    fit.y = padding + (h - keyboardHeight * fit.scale) / 2;
    return fit;
}

} // namespace sorvin
