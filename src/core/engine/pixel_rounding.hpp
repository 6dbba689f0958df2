#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace sorvin {

// The engine's one rule for turning a computed channel value into a byte: round half away from zero,
// then limit to 0...255. Clamping first gives the same byte (both bounds are whole numbers) and keeps
// the conversion to an integer defined. Written without branches: the per-pixel stages call it
// several times per pixel on values that no branch predictor could guess.
struct PixelRounding {
    template <typename Real>
    static std::uint8_t byte(Real value) {
        const Real clamped = std::min(std::max(value, Real(0)), Real(255));
        const int whole = static_cast<int>(clamped);
        return static_cast<std::uint8_t>(whole + (clamped - static_cast<Real>(whole) >= Real(0.5)));
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

    // byte / 255 in single precision, looked up instead of divided (the same values).
    static float unit(std::uint8_t byte) { return kUnits[byte]; }

private:
    static constexpr std::array<float, 256> kUnits = [] {
        std::array<float, 256> units{};
        for (int i = 0; i < 256; ++i)
            units[i] = static_cast<float>(i) / 255.0f;
        return units;
    }();
};

} // namespace sorvin
