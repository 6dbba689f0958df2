#pragma once

#include <cstdint>

namespace sorvin {

// An opaque 8-bit sRGB colour: the screens' colours are chosen in sRGB, and the UI turns each into
// its toolkit's colour.
struct SrgbColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    // The colour as it shows drawn at an opacity over a backdrop of another colour.
    constexpr SrgbColor faded(double opacity, SrgbColor backdrop) const {
        const auto mix = [opacity](std::uint8_t over, std::uint8_t under) {
            return static_cast<std::uint8_t>(opacity * over + (1 - opacity) * under + 0.5);
        };
        return {mix(red, backdrop.red), mix(green, backdrop.green), mix(blue, backdrop.blue)};
    }
    friend constexpr bool operator==(const SrgbColor&, const SrgbColor&) = default;
};

} // namespace sorvin
