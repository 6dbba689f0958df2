#pragma once

#include "view/view_color.hpp"

namespace sorvin {

// How every sheet stands out from the window it covers: its own fill inside a thin border, and
// the window behind it darkened while anything modal is up over it.
namespace SheetLook {
inline constexpr ViewColor fill = ViewPalette::background;
inline constexpr ViewColor border = ViewPalette::separator;
inline constexpr int borderWidth = 1;
inline constexpr ViewColor backdrop{{0, 0, 0}, 0.35};
} // namespace SheetLook

} // namespace sorvin
