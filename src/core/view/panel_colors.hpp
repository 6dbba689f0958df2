#pragma once

#include "platform/srgb_color.hpp"

namespace sorvin {

// The colours the adjustment panel, its sheets and the crop bar are drawn with: the application's
// palette and the few fixed greys that recur beside it.
namespace PanelColors {
inline constexpr SrgbColor background{28, 28, 30};
inline constexpr SrgbColor text{242, 242, 247};
inline constexpr SrgbColor secondaryText{152, 152, 157};
inline constexpr SrgbColor accent{255, 55, 95};
inline constexpr SrgbColor separator{58, 58, 60};
inline constexpr SrgbColor white{255, 255, 255};
// Text and background of a control that cannot be used.
inline constexpr SrgbColor disabledText{72, 72, 74};
inline constexpr SrgbColor disabledBackground{44, 44, 46};
// The key letters beside a tab's name.
inline constexpr SrgbColor selectedTabKey{255, 212, 222};
inline constexpr SrgbColor tabKey{142, 142, 147};
// The selected row of a list, and the warning of a full preset list.
inline constexpr SrgbColor selectionBlue{10, 132, 255};
inline constexpr SrgbColor warningOrange{255, 159, 10};
} // namespace PanelColors

} // namespace sorvin
