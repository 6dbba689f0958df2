#include "persistence/selection_rotation.hpp"

#include <cmath>
#include <fmt/format.h>

namespace sorvin::SelectionRotation {

std::string text(double storedDegrees) {
    return fmt::format("{:.1f}", storedDegrees);
}

} // namespace sorvin::SelectionRotation
