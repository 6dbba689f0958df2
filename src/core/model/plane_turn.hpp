#pragma once

#include "platform/geometry.hpp"

namespace sorvin {

// A turn of the plane about the origin, clockwise as seen on screen (y grows downwards). Whole
// quarter turns have an exact cosine and sine, so they move coordinates without rounding.
struct PlaneTurn {
    double cosine = 1;
    double sine = 0;

    // The quarter turns of the angle exactly, then its fine part when that is not too small to count
    // (PhotoRotation's rule).
    static PlaneTurn of(double degrees);

    bool isNone() const { return cosine == 1 && sine == 0; }
    // A whole number of quarter turns: each axis goes onto an axis.
    bool isQuarter() const { return cosine == 0 || sine == 0; }

    PlaneTurn inverse() const { return {cosine, -sine}; }
    // This turn after `first`.
    PlaneTurn after(const PlaneTurn& first) const {
        return {cosine * first.cosine - sine * first.sine, sine * first.cosine + cosine * first.sine};
    }
    Point applied(Point p) const { return {p.x * cosine - p.y * sine, p.x * sine + p.y * cosine}; }

    bool operator==(const PlaneTurn&) const = default;
};

} // namespace sorvin
