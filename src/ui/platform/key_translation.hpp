#pragma once

#include "shell/adjustment_key_modifiers.hpp"

#include <Qt>
#include <cstdint>
#include <optional>

namespace sorvin {

// From Qt's key events to the program's layout-independent key codes and modifier sets. The
// physical key decides (the evdev scan code, which X11 and Wayland report plus 8), so the commands
// stay on the same keys whatever the layout; events without a scan code (synthetic ones) fall back
// to the Qt key.
struct KeyTranslation {
    static std::optional<std::uint16_t> keyCode(std::uint32_t nativeScanCode, int qtKey);
    // Ctrl is the command modifier, Alt the option modifier and Meta the control modifier; the
    // keypad flag is left out.
    static AdjustmentKeyModifiers modifiers(Qt::KeyboardModifiers modifiers);
    // The modifier a key itself is (a press of Ctrl alone), if any.
    static std::optional<AdjustmentKeyModifiers::Member> modifierKey(int qtKey);
};

} // namespace sorvin
