#include "ui/panel/tone_curve_graph_view.hpp"

#include "view/curve_display_palette.hpp"
#include "ui/panel/panel_button.hpp"

#include <QPainter>
#include <QPainterPath>

namespace sorvin {

namespace {

constexpr double kSide = ToneCurveGraphModel::side;

QPainterPath tablePath(std::span<const std::uint8_t> table, double lineWidth) {
    QPainterPath path;
    const auto points = ToneCurveGraphModel::tablePath(table, lineWidth);
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            path.moveTo(points[i].x, points[i].y);
        else
            path.lineTo(points[i].x, points[i].y);
    }
    return path;
}

} // namespace

ToneCurveGraphView::ToneCurveGraphView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ToneCurveGraphView::setModel(const std::optional<ToneCurveGraphModel>& model) {
    // The drawing depends on the model alone.
    if (model == model_) return;
    model_ = model;
    update();
}

void ToneCurveGraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The widget overhangs the graph on every side so that the markers on its edges are not cut.
    const double outer = kSide + 2 * ToneCurveGraphModel::markerInset;
    painter.scale(width() / outer, height() / outer);
    painter.translate(ToneCurveGraphModel::markerInset, ToneCurveGraphModel::markerInset);
    painter.fillRect(QRectF(0, 0, kSide, kSide), qColor(CurveDisplayPalette::background));
    // The outline is stroked on the square's edge, half of it outside.
    painter.setPen(QPen(qColor(CurveDisplayPalette::border), 1));
    painter.drawRect(QRectF(0, 0, kSide, kSide));

    QPainterPath grid;
    for (double f : {0.25, 0.5, 0.75}) {
        grid.moveTo(kSide * f, 0);
        grid.lineTo(kSide * f, kSide);
        grid.moveTo(0, kSide * f);
        grid.lineTo(kSide, kSide * f);
    }
    painter.strokePath(grid, QPen(qColor(CurveDisplayPalette::grid), 1));
    QPen dashed(qColor(CurveDisplayPalette::border), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashed.setDashPattern({3, 3});
    painter.setPen(dashed);
    painter.drawLine(QPointF(0, kSide), QPointF(kSide, 0));

    if (model_) {
        const std::pair<const ByteTable*, SrgbColor> finals[] = {
            {&model_->finalRed, CurveDisplayPalette::red},
            {&model_->finalGreen, CurveDisplayPalette::green},
            {&model_->finalBlue, CurveDisplayPalette::blue}};
        for (const auto& [table, color] : finals) {
            QColor c = qColor(color);
            c.setAlphaF(0.55f);
            painter.strokePath(tablePath(*table, 1), QPen(c, 1));
        }
        const QColor channel = qColor(CurveDisplayPalette::color(model_->selectedChannel));
        painter.strokePath(tablePath(model_->selectedCurve, 2), QPen(channel, 2));
        painter.setPen(Qt::NoPen);
        for (const Point& p : model_->controlPoints()) {
            painter.setBrush(qColor(CurveDisplayPalette::background));
            painter.drawEllipse(QPointF(p.x, p.y), 3, 3);
            painter.setBrush(channel);
            painter.drawEllipse(QPointF(p.x, p.y), 2, 2);
        }
    }
}

} // namespace sorvin
