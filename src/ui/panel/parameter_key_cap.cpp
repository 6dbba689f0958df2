#include "ui/panel/parameter_key_cap.hpp"

#include "panel/parameter_key_cap_visual_state.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QPainter>
#include <QPainterPath>

namespace sorvin {

ParameterKeyCap::ParameterKeyCap(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (implemented_ && action) action();
    });
}

void ParameterKeyCap::setCap(const QString& label, bool isImplemented, bool keyboardIsPressed) {
    if (label == label_ && isImplemented == implemented_ && keyboardIsPressed == keyboardIsPressed_) return;
    label_ = label;
    implemented_ = isImplemented;
    keyboardIsPressed_ = keyboardIsPressed;
    if (!implemented_) {
        hovered_ = false;
        setDown(false);
        unsetCursor();
    }
    update();
}

QRectF ParameterKeyCap::faceRect() const {
    return QRectF((width() - 20) / 2.0, (height() - 18) / 2.0, 20, 18);
}

void ParameterKeyCap::paintEvent(QPaintEvent*) {
    const auto state = ParameterKeyCapVisualStates::of(implemented_, isDown(), keyboardIsPressed_, hovered_);
    const auto colors = ParameterKeyCapVisualStates::colors(state);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(faceRect(), 4, 4);
    painter.fillPath(shape, qColor(colors.background));
    painter.setPen(QPen(qColor(colors.border), 1));
    painter.drawPath(shape);
    QFont font = SorvinLook::font(11, QFont::Bold);
    font.setStyleHint(QFont::Monospace);
    painter.setFont(font);
    painter.setPen(qColor(colors.label));
    painter.drawText(faceRect(), Qt::AlignCenter, label_);
}

void ParameterKeyCap::enterEvent(QEnterEvent*) {
    if (!implemented_) return;
    hovered_ = true;
    setCursor(Qt::PointingHandCursor);
    update();
}

void ParameterKeyCap::leaveEvent(QEvent*) {
    if (!implemented_) return;
    hovered_ = false;
    unsetCursor();
    update();
}

bool ParameterKeyCap::hitButton(const QPoint& position) const {
    return implemented_ && faceRect().contains(position);
}

} // namespace sorvin
