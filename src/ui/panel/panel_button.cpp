#include "ui/panel/panel_button.hpp"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace sorvin {

PanelButton::PanelButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
}

bool PanelButton::setFace(const Face& face) {
    if (face == face_) return false;
    face_ = face;
    updateGeometry();
    update();
    return true;
}

void PanelButton::setPointsWhenEnabled(bool on) {
    pointsWhenEnabled_ = on;
    updateCursor();
}

void PanelButton::updateCursor() {
    if (pointsWhenEnabled_ && isEnabled())
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void PanelButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) updateCursor();
    QAbstractButton::changeEvent(event);
}

QSize PanelButton::sizeHint() const {
    const int nameWidth = QFontMetrics(face_.nameFont).horizontalAdvance(face_.name);
    const int keyWidth = face_.key.isEmpty() ? 0 : QFontMetrics(face_.keyFont).horizontalAdvance(face_.key);
    return {face_.leftPadding + nameWidth + keyWidth + face_.rightPadding, face_.height};
}

void PanelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), face_.radius, face_.radius);
    painter.fillPath(shape, face_.background);
    const int nameWidth = QFontMetrics(face_.nameFont).horizontalAdvance(face_.name);
    const int keyWidth = face_.key.isEmpty() ? 0 : QFontMetrics(face_.keyFont).horizontalAdvance(face_.key);
    // The text sits centred when the button is wider than its content.
    const int left =
        (width() - (nameWidth + keyWidth + face_.leftPadding + face_.rightPadding)) / 2 + face_.leftPadding;
    painter.setFont(face_.nameFont);
    painter.setPen(face_.nameColor);
    painter.drawText(QRect(left, 0, nameWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, face_.name);
    if (!face_.key.isEmpty()) {
        painter.setFont(face_.keyFont);
        painter.setPen(face_.keyColor);
        painter.drawText(QRect(left + nameWidth, 0, keyWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
                         face_.key);
    }
}

} // namespace sorvin
