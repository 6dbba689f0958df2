#pragma once

#include <cstdint>

namespace sorvin {

// An sRGB colour with an opacity, as the views of the browsing screen choose them. The view rules
// of the core name their colours with these values; the widgets only convert them.
struct ViewColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    double opacity = 1.0;

    constexpr ViewColor withOpacity(double value) const { return {red, green, blue, value}; }
    bool operator==(const ViewColor&) const = default;
};

// The program's palette and the few fixed colours of the browsing screen.
struct ViewPalette {
    static constexpr ViewColor background{0x1C, 0x1C, 0x1E};
    static constexpr ViewColor text{0xF2, 0xF2, 0xF7};
    static constexpr ViewColor secondaryText{0x98, 0x98, 0x9D};
    static constexpr ViewColor accent{0xFF, 0x37, 0x5F};
    static constexpr ViewColor separator{0x3A, 0x3A, 0x3C};
    static constexpr ViewColor white{0xFF, 0xFF, 0xFF};
    static constexpr ViewColor clear{0, 0, 0, 0};
    // Fill of the file list and the EXIF panel.
    static constexpr ViewColor sidePanel{22, 22, 24};
    // Unselected badges and the heart of the current row.
    static constexpr ViewColor dimmedGrey{142, 142, 147};
    // The heart of a row that is neither current nor hearted.
    static constexpr ViewColor darkGrey{72, 72, 74};
    // An EXIF value shown as the missing-value dash.
    static constexpr ViewColor dashGrey{99, 99, 102};
    // The warning line shown while the record is stored outside the folder.
    static constexpr ViewColor warningBackground{122, 74, 0};
    // The histogram graph.
    static constexpr ViewColor graphBackground{10, 10, 11};
    static constexpr ViewColor histogramRed{255, 69, 58};
    static constexpr ViewColor histogramGreen{50, 215, 75};
    static constexpr ViewColor histogramBlue{10, 132, 255};
};

// A disabled button is drawn at this opacity.
inline constexpr double kDisabledOpacity = 0.4;

} // namespace sorvin
