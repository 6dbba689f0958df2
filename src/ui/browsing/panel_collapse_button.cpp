#include "ui/browsing/panel_collapse_button.hpp"

#include "ui/browsing/view_colors.hpp"

#include <QPainter>
#include <QPainterPath>

namespace sorvin {

PanelCollapseButton::PanelCollapseButton(const PanelCollapseButtonFace& face, QWidget* parent)
    : QAbstractButton(parent), symbol_(face.symbol) {
    setAccessibleName(QString::fromUtf8(face.label.data(), static_cast<int>(face.label.size())));
    setToolTip(accessibleName());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

QSize PanelCollapseButton::sizeHint() const {
    const int side = static_cast<int>(PanelCollapseButtons::kSize);
    return {side, side};
}

void PanelCollapseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(rect()), 4, 4);
    painter.fillPath(square, toQColor(ViewPalette::separator));
    // A chevron drawn as two strokes, pointing where the panel goes.
    QPen pen(toQColor(ViewPalette::text), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF c = QRectF(rect()).center();
    const double s = 3;
    QPolygonF chevron;
    if (symbol_ == "chevron.down")
        chevron << c + QPointF(-s, -s / 2) << c + QPointF(0, s / 2) << c + QPointF(s, -s / 2);
    else if (symbol_ == "chevron.up")
        chevron << c + QPointF(-s, s / 2) << c + QPointF(0, -s / 2) << c + QPointF(s, s / 2);
    else if (symbol_ == "chevron.left")
        chevron << c + QPointF(s / 2, -s) << c + QPointF(-s / 2, 0) << c + QPointF(s / 2, s);
    else
        chevron << c + QPointF(-s / 2, -s) << c + QPointF(s / 2, 0) << c + QPointF(-s / 2, s);
    painter.drawPolyline(chevron);
}

} // namespace sorvin
