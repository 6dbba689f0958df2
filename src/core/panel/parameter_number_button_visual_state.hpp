#pragma once

#include "model/parameter_page.hpp"
#include "platform/srgb_color.hpp"

namespace sorvin {

// The look of a curve-channel button of the number row: the channel's own colours while its page
// is shown, one common look otherwise.
enum class ParameterNumberButtonVisualState {
    selectedRGB,
    selectedRed,
    selectedGreen,
    selectedBlue,
    unselected
};

namespace ParameterNumberButtonVisualStates {
ParameterNumberButtonVisualState of(PointCurveChannel channel, ParameterPage currentPage);
SrgbColor keyTextColor(ParameterNumberButtonVisualState state);
SrgbColor backgroundColor(ParameterNumberButtonVisualState state);
} // namespace ParameterNumberButtonVisualStates

} // namespace sorvin
