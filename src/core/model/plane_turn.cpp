#include "model/plane_turn.hpp"

#include "model/photo_rotation.hpp"

#include <array>
#include <cmath>
#include <numbers>

namespace sorvin {

PlaneTurn PlaneTurn::of(double degrees) {
    static constexpr std::array<PlaneTurn, 4> kQuarterTurns{PlaneTurn{1, 0}, PlaneTurn{0, 1},
                                                            PlaneTurn{-1, 0}, PlaneTurn{0, -1}};
    const RotationDecomposition split = PhotoRotation::decomposed(degrees);
    const PlaneTurn quarters = kQuarterTurns[static_cast<std::size_t>(split.quarterTurns)];
    if (PhotoRotation::isNone(split.residual)) return quarters;
    const double radians = split.residual * std::numbers::pi / 180;
    return PlaneTurn{std::cos(radians), std::sin(radians)}.after(quarters);
}

} // namespace sorvin
