#pragma once

#include <cstdint>

namespace sorvin {

// The engine's one rule for turning a computed channel value into a byte: round half away from zero,
// then limit to 0...255. Clamping first gives the same byte (both bounds are whole numbers) and keeps
// the conversion to an integer defined for any finite value.
struct PixelRounding {
    template <typename Real>
    static std::uint8_t byte(Real value) {
        if (!(value > Real(0))) return 0;
        if (value >= Real(255)) return 255;
        int whole = static_cast<int>(value);
        if (value - static_cast<Real>(whole) >= Real(0.5)) ++whole;
        return static_cast<std::uint8_t>(whole);
    }

    // Round half away from zero to an integer, for values well inside the int range.
    template <typename Real>
    static int integer(Real value) {
        const int whole = static_cast<int>(value);
        const Real rest = value - static_cast<Real>(whole);
        if (rest >= Real(0.5)) return whole + 1;
        if (rest <= Real(-0.5)) return whole - 1;
        return whole;
    }
};

} // namespace sorvin
