#pragma once

#include "platform/srgb_color.hpp"

namespace sorvin {

// The look of a key cap under a slot's slider.
enum class ParameterKeyCapVisualState { normal, hovered, pressed, unavailable };

struct ParameterKeyCapFaceColors {
    SrgbColor background;
    SrgbColor border;
    SrgbColor label;
    friend bool operator==(const ParameterKeyCapFaceColors&, const ParameterKeyCapFaceColors&) = default;
};

struct ParameterKeyCapVisualStates {
    // A held keyboard key lights the cap like a click; hovering comes after both.
    static ParameterKeyCapVisualState of(bool isImplemented, bool pointerIsPressing, bool keyboardIsPressed,
                                         bool isHovered);
    static ParameterKeyCapFaceColors colors(ParameterKeyCapVisualState state);
};

} // namespace sorvin
