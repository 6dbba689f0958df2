#include "panel/parameter_number_button_visual_state.hpp"

#include "view/curve_display_palette.hpp"
#include "view/panel_colors.hpp"

#include <array>

namespace sorvin::ParameterNumberButtonVisualStates {

namespace {

struct Face {
    SrgbColor keyText;
    SrgbColor background;
};

// In case order: selectedRGB, selectedRed, selectedGreen, selectedBlue, unselected.
constexpr std::array<Face, 5> kFaces{{
    {{229, 229, 234}, {142, 142, 147}},
    {{255, 212, 208}, CurveDisplayPalette::red},
    {{212, 245, 218}, CurveDisplayPalette::green},
    {{204, 228, 255}, CurveDisplayPalette::blue},
    {{142, 142, 147}, PanelColors::separator},
}};

const Face& face(ParameterNumberButtonVisualState state) {
    return kFaces[static_cast<std::size_t>(state)];
}

} // namespace

ParameterNumberButtonVisualState of(PointCurveChannel channel, ParameterPage currentPage) {
    if (currentPage != ParameterPage::curve(channel)) return ParameterNumberButtonVisualState::unselected;
    return static_cast<ParameterNumberButtonVisualState>(static_cast<int>(channel));
}

SrgbColor keyTextColor(ParameterNumberButtonVisualState state) {
    return face(state).keyText;
}

SrgbColor backgroundColor(ParameterNumberButtonVisualState state) {
    return face(state).background;
}

} // namespace sorvin::ParameterNumberButtonVisualStates
