#pragma once

#include <cstdint>

namespace sorvin {

// The two panels the user sizes with the pointer.
enum class PanelResizeAxis : std::uint8_t { rightPanel, bottomPanel };

struct PanelResizeLimits {
    double minimum;
    double maximum;
    double resetValue;
    // At or below the minimum (and anything that is not a number) gives the minimum.
    constexpr double clamped(double value) const {
        if (!(value > minimum)) return minimum;
        return value > maximum ? maximum : value;
    }
    static constexpr PanelResizeLimits of(PanelResizeAxis axis) {
        return axis == PanelResizeAxis::rightPanel ? PanelResizeLimits{220, 520, 280}  // width
                                                   : PanelResizeLimits{160, 460, 310}; // height
    }
};

} // namespace sorvin
