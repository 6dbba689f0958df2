#include "panel/parameter_panel_vertical_metrics.hpp"

#include <algorithm>

namespace sorvin {

using namespace ParameterPanelLayout;

ParameterPanelVerticalMetrics ParameterPanelVerticalMetrics::make(double offeredHeight) {
    // A height that is no number lays out as the smallest panel.
    const double h = offeredHeight > minimumHeight ? std::min(offeredHeight, maximumHeight) : minimumHeight;
    const double track = h - fixedHeight - gapsHeight;
    if (track >= minimumTrackHeight) return {h, 1, track};
    // Too low for full gaps: the track keeps its minimum and the gaps shrink.
    const double scale = std::max(0.0, (h - fixedHeight - minimumTrackHeight) / gapsHeight);
    return {h, scale, minimumTrackHeight};
}

double ParameterPanelVerticalMetrics::curveGraphSide() const {
    return std::min(trackHeight, curveGraphMaximumSide);
}

} // namespace sorvin
