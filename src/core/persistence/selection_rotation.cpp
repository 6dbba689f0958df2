#include "persistence/selection_rotation.hpp"

#include <cmath>
#include <fmt/format.h>

namespace sorvin::SelectionRotation {

std::optional<double> stored(double degrees) {
    if (!std::isfinite(degrees) || degrees < -180.0 || degrees > 179.5) return std::nullopt;
    const double snapped = std::round(2.0 * degrees) * 0.5;
    if (std::fabs(snapped) < 0.01) return std::nullopt;
    return snapped;
}

std::string text(double storedDegrees) {
    return fmt::format("{:.1f}", storedDegrees);
}

} // namespace sorvin::SelectionRotation
