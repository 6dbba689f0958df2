#include "panel/parameter_preset_menu.hpp"

namespace sorvin {

std::vector<ParameterPresetMenu::Item>
ParameterPresetMenu::items(const std::vector<ParameterPreset>& presets) {
    using Kind = Item::Kind;
    std::vector<Item> items;
    items.reserve(presets.size() + 3);
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const int index = static_cast<int>(i);
        items.push_back({Kind::preset, presets[i].name, index,
                         index < shortcutCount ? "Ctrl+" + std::to_string(index + 1) : std::string(), true});
    }
    if (presets.empty())
        items.push_back({Kind::placeholder, "（プリセットがありません）", std::nullopt, {}, false});
    items.push_back({Kind::separator, {}, std::nullopt, {}, true});
    items.push_back({Kind::save, "いまの設定を保存…", std::nullopt, {}, true});
    items.push_back({Kind::organize, "プリセットを整理…", std::nullopt, {}, !presets.empty()});
    return items;
}

} // namespace sorvin
