#pragma once

#include "model/photo_parameter.hpp"

#include <optional>
#include <string>

namespace sorvin {

// The rules of one slot column that do not depend on the widgets.
struct ParameterSlotColumn {
    // The value and the name shrink down to this fraction of their size before they are cut; the
    // name may also set its letters closer.
    static constexpr double textMinimumScale = 0.67;
    // The name keeps this far from the column's sides, so that the shrunk names of two columns
    // side by side stay 2 pt apart.
    static constexpr int nameInset = 1;
    // What one click on a key cap adds: 1, or 10 for the mask centre, which is kept in tenths of
    // its shown unit so that a click moves it by 1.0 as shown.
    static int keyStep(PhotoParameter parameter, bool increases);
    // The value label: a RAW photo's white balance is shown as its neutral temperature in kelvin
    // once its development has given one; every other value as the parameter shows it.
    static std::string labelText(PhotoParameter parameter, int value,
                                 std::optional<float> rawNeutralTemperature);
};

} // namespace sorvin
