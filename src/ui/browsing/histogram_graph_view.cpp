#include "ui/browsing/histogram_graph_view.hpp"

#include "shell/exif_panel_model.hpp"
#include "ui/browsing/view_colors.hpp"

#include <QPainter>
#include <QPainterPath>

namespace sorvin {

HistogramGraphView::HistogramGraphView(QWidget* parent) : QWidget(parent) {
    setFixedSize(static_cast<int>(width_), static_cast<int>(ExifPanelLayout::graphHeight));
}

void HistogramGraphView::setData(std::optional<HistogramData> data, double width) {
    data_ = std::move(data);
    width_ = width;
    setFixedSize(static_cast<int>(std::lround(width_)), static_cast<int>(ExifPanelLayout::graphHeight));
    update();
}

void HistogramGraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bounds(0, 0, width_, ExifPanelLayout::graphHeight);
    painter.fillRect(bounds, toQColor(ViewPalette::graphBackground));
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& channel : HistogramGraphGeometry::make(data_, width_)) {
        QPainterPath bars;
        bars.setFillRule(Qt::WindingFill);
        for (const Rect& r : channel.bars)
            bars.addRect(QRectF(r.x, r.y, r.width, r.height));
        painter.fillPath(bars, toQColor(channel.color.withOpacity(HistogramGraphGeometry::barOpacity)));
        QPainterPath marks;
        marks.setFillRule(Qt::WindingFill);
        for (const Rect& r : channel.marks)
            marks.addRect(QRectF(r.x, r.y, r.width, r.height));
        painter.fillPath(marks, toQColor(channel.color));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(toQColor(ViewPalette::graphBorder), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace sorvin
