#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace sorvin::ParameterPresetShortcut {

// Ctrl with the digits 1 to 8 of the main row picks the presets 0 to 7. The key codes are the
// layout-independent virtual codes of those keys; `modifiers` is the raw value of the key's
// modifier set (shift 1, Ctrl 2, Alt 4, Meta 8), which must be Ctrl alone.
inline constexpr std::array<std::uint16_t, 8> digitKeyCodes = {18, 19, 20, 21, 23, 22, 26, 28};
inline constexpr std::uint8_t commandModifier = 2;

constexpr std::optional<int> index(std::uint16_t keyCode, std::uint8_t modifiers) {
    if (modifiers != commandModifier) return std::nullopt;
    for (std::size_t i = 0; i < digitKeyCodes.size(); ++i)
        if (digitKeyCodes[i] == keyCode) return static_cast<int>(i);
    return std::nullopt;
}

} // namespace sorvin::ParameterPresetShortcut
