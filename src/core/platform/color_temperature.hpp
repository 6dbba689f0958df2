#pragma once

namespace sorvin {

// Correlated colour temperature and tint of a light, as photographers set white balance: a point
// on the black-body locus (Kelvin) moved across it towards green (positive tint) or magenta
// (negative tint). One tint unit is 1/3000 of a CIE 1960 uv unit, the usual raw-converter scale.
struct ColorTemperature {
    struct Chromaticity {
        double x = 0;
        double y = 0;
    };
    struct Setting {
        double kelvin = 0;
        double tint = 0;
    };

    // The locus is defined over this range; temperatures outside it are clamped.
    static constexpr double kMinimumKelvin = 1667;
    static constexpr double kMaximumKelvin = 25000;

    static Chromaticity chromaticity(Setting setting);
    // The nearest locus point and the signed distance from it; the inverse of chromaticity().
    static Setting setting(Chromaticity chromaticity);
};

} // namespace sorvin
