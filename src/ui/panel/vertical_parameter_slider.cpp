#include "ui/panel/vertical_parameter_slider.hpp"

#include "view/panel_colors.hpp"
#include "panel/vertical_parameter_slider_geometry.hpp"
#include "shell/keyboard_maps.hpp"
#include "ui/panel/panel_button.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace sorvin {

using G = VerticalParameterSliderGeometry;

VerticalParameterSlider::VerticalParameterSlider(QWidget* parent) : QWidget(parent) {}

void VerticalParameterSlider::setInput(const Input& input) {
    if (input == input_) return;
    input_ = input;
    update();
}

void VerticalParameterSlider::paintEvent(QPaintEvent*) {
    const double track = height();
    const double mid = width() / 2.0;
    const auto g = G::make(input_.value, input_.lower, input_.upper, input_.defaultValue, track);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath trackShape;
    trackShape.addRoundedRect(QRectF(mid - G::trackWidth / 2, 0, G::trackWidth, track), 3, 3);
    painter.fillPath(trackShape, qColor(PanelColors::separator));
    if (input_.showsDefaultMark)
        painter.fillRect(QRectF(mid - G::defaultMarkWidth / 2, g.defaultY - 0.5, G::defaultMarkWidth, 1),
                         qColor(PanelColors::secondaryText));
    if (g.barTop)
        painter.fillRect(QRectF(mid - G::trackWidth / 2, *g.barTop, G::trackWidth, g.barHeight),
                         qColor(PanelColors::accent));
    painter.setPen(Qt::NoPen);
    painter.setBrush(qColor(PanelColors::text));
    painter.drawEllipse(QPointF(mid, g.valueY), G::thumbDiameter / 2, G::thumbDiameter / 2);
}

void VerticalParameterSlider::drag(double y) {
    if (setValue) setValue(ParameterSliderGeometry::value(y, input_.lower, input_.upper, height()));
}

void VerticalParameterSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag(event->position().y());
}

void VerticalParameterSlider::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) drag(event->position().y());
}

void VerticalParameterSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The second press of a double click is also a drag change.
    drag(event->position().y());
    const auto g = G::make(input_.value, input_.lower, input_.upper, input_.defaultValue, height());
    const QPointF p = event->position();
    if (std::hypot(p.x() - width() / 2.0, p.y() - g.valueY) <= G::thumbDiameter / 2 + 2 && reset) reset();
}

} // namespace sorvin
