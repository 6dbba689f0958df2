#pragma once

#include "persistence/parameter_preset.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The pull-down of the panel's preset button, built anew on every click.
struct ParameterPresetMenu {
    static constexpr std::string_view buttonTitle = "プリセット ▾";
    // Presets that get a Ctrl+digit shortcut, from the first.
    static constexpr int shortcutCount = 8;

    struct Item {
        enum class Kind { preset, placeholder, separator, save, organize };
        Kind kind = Kind::separator;
        std::string title;
        // The preset's index in the list the menu was built from.
        std::optional<int> presetIndex;
        // "Ctrl+1" … "Ctrl+8"; empty for every other item.
        std::string shortcut;
        bool enabled = true;
        friend bool operator==(const Item&, const Item&) = default;
    };

    // The presets in list order (or a greyed placeholder), a separator, save, organise.
    static std::vector<Item> items(const std::vector<ParameterPreset>& presets);
};

} // namespace sorvin
