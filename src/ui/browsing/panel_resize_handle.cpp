#include "ui/browsing/panel_resize_handle.hpp"

#include "ui/browsing/view_colors.hpp"

#include <QMouseEvent>
#include <QPainter>

namespace sorvin {

PanelResizeHandle::PanelResizeHandle(PanelResizeAxis axis, std::function<double()> currentValue,
                                     std::function<void(double)> setValue, QWidget* parent)
    : QWidget(parent), axis_(axis), currentValue_(std::move(currentValue)), setValue_(std::move(setValue)),
      drag_(axis) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

void PanelResizeHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor line = toQColor(hovered_ ? ViewPalette::accent : ViewPalette::separator);
    if (axis_ == PanelResizeAxis::rightPanel)
        painter.fillRect(QRectF(width() / 2.0 - 0.5, 0, 1, height()), line);
    else
        painter.fillRect(QRectF(0, height() / 2.0 - 0.5, width(), 1), line);
}

void PanelResizeHandle::enterEvent(QEnterEvent*) {
    hovered_ = true;
    setCursor(axis_ == PanelResizeAxis::rightPanel ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    update();
}

void PanelResizeHandle::leaveEvent(QEvent*) {
    hovered_ = false;
    if (!drag_.isDragging()) setCursor(Qt::ArrowCursor);
    update();
}

double PanelResizeHandle::along(const QPointF& globalPoint) const {
    return axis_ == PanelResizeAxis::rightPanel ? globalPoint.x() : globalPoint.y();
}

void PanelResizeHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // Global positions: the handle itself moves with the panel it sizes.
    pressPosition_ = along(event->globalPosition());
    setValue_(drag_.change(currentValue_(), 0));
}

void PanelResizeHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.isDragging() || !(event->buttons() & Qt::LeftButton)) return;
    setValue_(drag_.change(currentValue_(), along(event->globalPosition()) - pressPosition_));
    setCursor(axis_ == PanelResizeAxis::rightPanel ? Qt::SizeHorCursor : Qt::SizeVerCursor);
}

void PanelResizeHandle::mouseReleaseEvent(QMouseEvent*) {
    drag_.end();
    if (!hovered_) setCursor(Qt::ArrowCursor);
}

void PanelResizeHandle::mouseDoubleClickEvent(QMouseEvent*) {
    drag_.end();
    setValue_(PanelResizeLimits::of(axis_).resetValue);
}

} // namespace sorvin
