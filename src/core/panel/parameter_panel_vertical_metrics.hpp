#pragma once

namespace sorvin {

// The fixed measures of the adjustment panel, in points.
namespace ParameterPanelLayout {
inline constexpr double minimumHeight = 160;
inline constexpr double maximumHeight = 460;
// Number row, tab row and the slot column's fixed parts: 22 + 22 + 66.
inline constexpr double fixedHeight = 110;
// The five gaps between and around the rows at full spacing.
inline constexpr double gapsHeight = 40;
inline constexpr double minimumTrackHeight = 24;
inline constexpr double rowHeight = 22;
inline constexpr double horizontalPadding = 12;
inline constexpr double columnWidth = 64;
inline constexpr int columnCount = 10;
// A narrower panel scrolls its slot row: 12 + 10 x 64 + 12.
inline constexpr double unscrolledSlotRowWidth = 2 * horizontalPadding + columnCount * columnWidth;
inline constexpr double curveGraphLeft = 660;
inline constexpr double curveGraphMaximumSide = 160;
} // namespace ParameterPanelLayout

// The vertical measures of one layout of the panel for the height the screen offers it.
struct ParameterPanelVerticalMetrics {
    double panelHeight = ParameterPanelLayout::minimumHeight;
    double spacingScale = 1;
    double trackHeight = ParameterPanelLayout::minimumTrackHeight;

    static ParameterPanelVerticalMetrics make(double offeredHeight);

    // One of the five gaps between the rows.
    double gap() const { return 8 * spacingScale; }
    double numberRowTop() const { return gap(); }
    double tabRowTop() const { return numberRowTop() + ParameterPanelLayout::rowHeight + gap(); }
    double slotRowTop() const { return tabRowTop() + ParameterPanelLayout::rowHeight + gap(); }
    double slotRowHeight() const { return trackHeight + 8 * spacingScale + 66; }
    // The tone curve graph stands level with the top of the slider tracks.
    double curveGraphTop() const { return 26 * spacingScale + 62; }
    double curveGraphSide() const;

    // Offsets of a slot column's parts from its top: key cap, slider, key cap, value, name.
    double sliderTop() const { return 18 + 2 * spacingScale; }
    double bottomKeyCapTop() const { return sliderTop() + trackHeight + 2 * spacingScale; }
    double valueTop() const { return bottomKeyCapTop() + 18 + 4 * spacingScale; }
    double nameTop() const { return valueTop() + 15; }
    double columnHeight() const { return nameTop() + 15; }

    static bool slotRowScrolls(double panelWidth) {
        return panelWidth < ParameterPanelLayout::unscrolledSlotRowWidth;
    }

    friend bool operator==(const ParameterPanelVerticalMetrics&,
                           const ParameterPanelVerticalMetrics&) = default;
};

} // namespace sorvin
