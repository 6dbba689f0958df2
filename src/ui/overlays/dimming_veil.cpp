#include "ui/overlays/dimming_veil.hpp"

#include <QEvent>
#include <QPainter>

namespace sorvin {

DimmingVeil::DimmingVeil(QColor backdrop, QWidget* covered) : QWidget(covered), backdrop_(backdrop) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    covered->installEventFilter(this);
    hide();
}

void DimmingVeil::setOpacity(double opacity) {
    opacity_ = opacity;
    setVisible(opacity < 1);
    if (isVisible()) {
        setGeometry(parentWidget()->rect());
        raise();
        update();
    }
}

bool DimmingVeil::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && isVisible()) {
        if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        // A child added later would lie over the veil.
        if (event->type() == QEvent::ChildAdded) raise();
    }
    return false;
}

void DimmingVeil::paintEvent(QPaintEvent*) {
    QColor veil = backdrop_;
    veil.setAlphaF(static_cast<float>(1 - opacity_));
    QPainter(this).fillRect(rect(), veil);
}

} // namespace sorvin
