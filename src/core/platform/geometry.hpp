#pragma once

namespace sorvin {

// A point in some view's or bitmap's coordinates (top-left origin, y grows downwards).
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// An axis-aligned rectangle given by its origin (the corner with the smallest coordinates) and size.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace sorvin
