#include "panel/parameter_key_cap_visual_state.hpp"

#include "view/panel_colors.hpp"

#include <array>

namespace sorvin {

namespace {

// In case order: normal, hovered, pressed, unavailable.
constexpr std::array<ParameterKeyCapFaceColors, 4> kFaces{{
    {{72, 72, 74}, {90, 90, 92}, PanelColors::white},
    {{90, 90, 92}, {108, 108, 112}, PanelColors::white},
    {PanelColors::accent, PanelColors::accent, PanelColors::white},
    {{44, 44, 46}, PanelColors::separator, {99, 99, 102}},
}};

} // namespace

ParameterKeyCapVisualState ParameterKeyCapVisualStates::of(bool isImplemented, bool pointerIsPressing,
                                                           bool keyboardIsPressed, bool isHovered) {
    if (!isImplemented) return ParameterKeyCapVisualState::unavailable;
    if (pointerIsPressing || keyboardIsPressed) return ParameterKeyCapVisualState::pressed;
    return isHovered ? ParameterKeyCapVisualState::hovered : ParameterKeyCapVisualState::normal;
}

ParameterKeyCapFaceColors ParameterKeyCapVisualStates::colors(ParameterKeyCapVisualState state) {
    return kFaces[static_cast<std::size_t>(state)];
}

} // namespace sorvin
