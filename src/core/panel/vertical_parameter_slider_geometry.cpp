#include "panel/vertical_parameter_slider_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

VerticalParameterSliderGeometry VerticalParameterSliderGeometry::make(int value, int lower, int upper,
                                                                      int defaultValue, double trackHeight) {
    const double span = static_cast<double>(upper) - lower;
    const double usable = std::max(0.0, trackHeight - 2 * inset);
    const auto position = [&](int v) {
        const double clamped = std::clamp(v, std::min(lower, upper), std::max(lower, upper));
        // A range without span has one position, the bottom end.
        const double fraction = span > 0 ? (clamped - lower) / span : 0;
        return trackHeight - inset - usable * fraction;
    };
    VerticalParameterSliderGeometry geometry;
    geometry.valueY = position(value);
    geometry.defaultY = position(defaultValue);
    if (value != defaultValue) {
        geometry.barTop = std::min(geometry.valueY, geometry.defaultY);
        geometry.barHeight = std::abs(geometry.defaultY - geometry.valueY);
    }
    return geometry;
}

} // namespace sorvin
