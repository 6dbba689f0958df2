#pragma once

#include <string>

namespace sorvin {

// A mask kind's colour in the tab bar and the guides: "#RRGGBB" and the same colour as 0-1 components.
struct MaskDisplayColor {
    std::string hex;
    double red = 0;
    double green = 0;
    double blue = 0;

    friend bool operator==(const MaskDisplayColor&, const MaskDisplayColor&) = default;
};

} // namespace sorvin
