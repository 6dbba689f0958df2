#pragma once

#include <cstdint>

namespace sorvin {

// The three colour bytes of one pixel as a stage hands them on; alpha never passes through a stage.
struct RgbBytes {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const RgbBytes&) const = default;
};

} // namespace sorvin
