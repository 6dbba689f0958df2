#pragma once

#include <algorithm>

namespace sorvin {

// A one-line text in a box too narrow for it is drawn smaller, down to a minimum scale, and cut
// at the end only when even that is too wide.
struct TextFit {
    double scale = 1;
    bool whole = true;

    static TextFit of(double naturalWidth, double room, double minimumScale) {
        if (naturalWidth <= room || naturalWidth <= 0) return {};
        const double scale = std::clamp(room / naturalWidth, minimumScale, 1.0);
        // Scaled to the room exactly, the text meets the box's edge only within rounding.
        return {scale, naturalWidth * scale <= room + 0.5};
    }
};

} // namespace sorvin
