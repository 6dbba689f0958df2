#pragma once

#include <cstdint>

namespace sorvin {

// An opaque 8-bit sRGB colour, as the look of the views is specified; the UI turns it into its
// toolkit's colour.
struct SrgbColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend constexpr bool operator==(const SrgbColor&, const SrgbColor&) = default;
};

} // namespace sorvin
