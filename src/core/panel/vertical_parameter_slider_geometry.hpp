#pragma once

#include <optional>

namespace sorvin {

// Where the parts of a vertical parameter slider are drawn, in the slider's own points (y grows
// downwards). The upper bound sits 7 pt below the track's top and the lower bound 7 pt above its
// bottom, so the 14 pt thumb fits at either end.
struct VerticalParameterSliderGeometry {
    static constexpr double inset = 7;
    static constexpr double trackWidth = 6;
    static constexpr double thumbDiameter = 14;
    static constexpr double defaultMarkWidth = 14;

    double valueY = 0;
    double defaultY = 0;
    // The accent bar from the default to the thumb: top and height; none while the value is the
    // default.
    std::optional<double> barTop;
    double barHeight = 0;

    // A value or default outside the range is drawn at the nearer end.
    static VerticalParameterSliderGeometry make(int value, int lower, int upper, int defaultValue,
                                                double trackHeight);
};

} // namespace sorvin
