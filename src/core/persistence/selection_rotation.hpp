#pragma once

#include <optional>
#include <string>

namespace sorvin::SelectionRotation {

// The stored angle as the record writes it: "%.1f" ("90.0", "-0.5", "179.5").
std::string text(double storedDegrees);

} // namespace sorvin::SelectionRotation
