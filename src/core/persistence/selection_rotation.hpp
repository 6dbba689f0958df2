#pragma once

#include <optional>
#include <string>

namespace sorvin::SelectionRotation {

// The rotation a record keeps for an angle in degrees: on the half-degree grid, from -180 to
// 179.5 (bounds tested before rounding, halves rounded away from zero); none for an angle that
// is not finite, out of range or rounds to zero.
std::optional<double> stored(double degrees);

// The stored angle as the record writes it: "%.1f" ("90.0", "-0.5", "179.5").
std::string text(double storedDegrees);

} // namespace sorvin::SelectionRotation
