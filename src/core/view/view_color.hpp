#pragma once

#include "view/curve_display_palette.hpp"
#include "view/panel_colors.hpp"
#include "platform/srgb_color.hpp"

namespace sorvin {

// An sRGB colour with an opacity, as the views of the browsing screen choose them. The view rules
// of the core name their colours with these values; the widgets only convert them.
struct ViewColor {
    SrgbColor color;
    double opacity = 1.0;

    constexpr ViewColor withOpacity(double value) const { return {color, value}; }
    friend constexpr bool operator==(const ViewColor&, const ViewColor&) = default;
};

// The program's palette and the few fixed colours of the browsing screen.
namespace ViewPalette {
inline constexpr ViewColor background{PanelColors::background};
inline constexpr ViewColor text{PanelColors::text};
inline constexpr ViewColor secondaryText{PanelColors::secondaryText};
inline constexpr ViewColor accent{PanelColors::accent};
inline constexpr ViewColor separator{PanelColors::separator};
inline constexpr ViewColor white{PanelColors::white};
inline constexpr ViewColor clear{{0, 0, 0}, 0};
// Fill of the file list and the EXIF panel.
inline constexpr ViewColor sidePanel{{22, 22, 24}};
// Unselected badges and the heart of the current row.
inline constexpr ViewColor dimmedGrey{{142, 142, 147}};
// The heart of a row that is neither current nor hearted.
inline constexpr ViewColor darkGrey{{72, 72, 74}};
// An EXIF value shown as the missing-value dash.
inline constexpr ViewColor dashGrey{{99, 99, 102}};
// The warning line shown while the record is stored outside the folder.
inline constexpr ViewColor warningBackground{{122, 74, 0}};
// The histogram graph shares the tone curve graph's background, border and channel colours.
inline constexpr ViewColor graphBackground{CurveDisplayPalette::background};
inline constexpr ViewColor graphBorder{CurveDisplayPalette::border};
inline constexpr ViewColor histogramRed{CurveDisplayPalette::red};
inline constexpr ViewColor histogramGreen{CurveDisplayPalette::green};
inline constexpr ViewColor histogramBlue{CurveDisplayPalette::blue};
} // namespace ViewPalette

// A disabled button is drawn at this opacity.
inline constexpr double kDisabledOpacity = 0.4;

} // namespace sorvin
