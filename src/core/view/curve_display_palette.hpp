#pragma once

#include "model/parameter_page.hpp"
#include "platform/srgb_color.hpp"

namespace sorvin {

// The colours of the tone curve graph, and of the curve channels wherever they are shown.
namespace CurveDisplayPalette {
inline constexpr SrgbColor background{10, 10, 11};
inline constexpr SrgbColor border{58, 58, 60};
inline constexpr SrgbColor grid{44, 44, 46};
inline constexpr SrgbColor text{242, 242, 247};
inline constexpr SrgbColor red{255, 69, 58};
inline constexpr SrgbColor green{50, 215, 75};
inline constexpr SrgbColor blue{10, 132, 255};

constexpr SrgbColor color(PointCurveChannel channel) {
    switch (channel) {
    case PointCurveChannel::red:
        return red;
    case PointCurveChannel::green:
        return green;
    case PointCurveChannel::blue:
        return blue;
    case PointCurveChannel::rgb:
        break;
    }
    return text;
}
} // namespace CurveDisplayPalette

} // namespace sorvin
