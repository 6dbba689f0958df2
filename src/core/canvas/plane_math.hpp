#pragma once

#include "platform/geometry.hpp"

#include <cmath>

namespace sorvin::plane {

// Small vector arithmetic on view points; y grows downward, so a positive angle turns clockwise
// on screen.

inline Point add(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
inline Point subtract(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
inline Point scaled(Point a, double k) {
    return {a.x * k, a.y * k};
}
inline double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
inline double length(Point a) {
    return std::hypot(a.x, a.y);
}
inline double distance(Point a, Point b) {
    return length(subtract(a, b));
}
inline Point rotated(Point a, double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}
inline double angleOf(Point d) {
    return std::atan2(d.y, d.x);
}
inline bool within(Point a, Point b, double radius) {
    return distance(a, b) <= radius;
}

// Half-open containment: left and top edges inside, right and bottom edges outside.
inline bool contains(const Rect& r, Point p) {
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

// Integer rounding of geometry values: nearest, halves away from zero, then clamped.
inline int roundedClamped(double value, int lower, int upper) {
    if (std::isnan(value)) return lower;
    const double r = std::round(value);
    if (r <= lower) return lower;
    if (r >= upper) return upper;
    return static_cast<int>(r);
}

} // namespace sorvin::plane
