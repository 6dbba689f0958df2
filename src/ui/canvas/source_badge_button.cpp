#include "ui/canvas/source_badge_button.hpp"

#include "ui/platform/sorvin_look.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace sorvin {

SourceBadgeButton::SourceBadgeButton(QWidget* parent) : QPushButton(parent) {
    setFont(SorvinLook::font(13, QFont::Bold));
    setFlat(true);
    setFocusPolicy(Qt::NoFocus);
}

void SourceBadgeButton::present(const std::optional<PhotoAreaSourceBadgePresentation>& presentation) {
    if (!presentation) {
        hide();
        return;
    }
    const QString text = QString::fromStdString(presentation->text);
    const bool raw = presentation->visualState == PhotoAreaSourceBadgeVisualState::raw;
    // The photo area presents the badge at every refresh: only a change is drawn again.
    if (text == this->text() && raw == raw_ && isVisible()) return;
    setText(text);
    raw_ = raw;
    setFixedSize(QFontMetrics(font()).horizontalAdvance(text) + 20, 24);
    show();
    update();
}

void SourceBadgeButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(shape, raw_ ? SorvinColor::accent() : SorvinColor::separator());
    painter.setPen(raw_ ? QColor(Qt::white) : QColor(235, 235, 245));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void SourceBadgeButton::enterEvent(QEnterEvent*) {
    setCursor(Qt::PointingHandCursor);
}

void SourceBadgeButton::leaveEvent(QEvent*) {
    setCursor(Qt::ArrowCursor);
}

} // namespace sorvin
