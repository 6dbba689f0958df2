#pragma once

#include "shell/exif_panel_model.hpp"
#include "ui/browsing/view_colors.hpp"

#include <QPainter>
#include <QPainterPath>

namespace sorvin::test {

// The histogram graph's bars and marks filled as antialiased paths with Qt's painter: the look the
// graph's own drawing is held to, and the baseline of its benchmark.
inline void fillHistogramAsPaths(QPainter& painter, const HistogramData& data, double width) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const auto fill = [&](const std::vector<Rect>& rects, const ViewColor& color) {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (const Rect& r : rects)
            path.addRect(QRectF(r.x, r.y, r.width, r.height));
        painter.fillPath(path, toQColor(color));
    };
    for (const auto& channel : HistogramGraphGeometry::make(data, width)) {
        fill(channel.bars, channel.color.withOpacity(HistogramGraphGeometry::barOpacity));
        fill(channel.marks, channel.color);
    }
    painter.restore();
}

} // namespace sorvin::test
