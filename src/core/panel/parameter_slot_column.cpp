#include "panel/parameter_slot_column.hpp"

#include <cmath>
#include <fmt/format.h>

namespace sorvin {

int ParameterSlotColumn::keyStep(PhotoParameter parameter, bool increases) {
    const bool tenths = parameter == PhotoParameter::circular_mask_center_x ||
                        parameter == PhotoParameter::circular_mask_center_y;
    const int step = tenths ? 10 : 1;
    return increases ? step : -step;
}

std::string ParameterSlotColumn::labelText(PhotoParameter parameter, int value,
                                           std::optional<float> rawNeutralTemperature) {
    // A temperature that is no number falls back to the slider's own text.
    if (parameter == PhotoParameter::raw_temperature && rawNeutralTemperature &&
        std::isfinite(*rawNeutralTemperature))
        return fmt::format("{}K", std::llround(static_cast<double>(*rawNeutralTemperature)));
    return ParameterCatalog::displayText(parameter, value);
}

} // namespace sorvin
