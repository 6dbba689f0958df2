#include "ui/canvas/source_badge_button.hpp"

#include "model/photo.hpp"
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

std::optional<SourceBadgeButton::Presentation> SourceBadgeButton::presentation(const Photo& photo,
                                                                               PhotoSource source) {
    if (!photo.hasRawCompanion()) return std::nullopt;
    QString extension = QString::fromStdString(photo.asset(source).url.extension().string());
    if (extension.startsWith('.')) extension.remove(0, 1);
    return Presentation{extension.toUpper(), source == PhotoSource::raw};
}

void SourceBadgeButton::present(const std::optional<Presentation>& presentation) {
    if (!presentation) {
        hide();
        return;
    }
    setText(presentation->text);
    raw_ = presentation->raw;
    setFixedSize(QFontMetrics(font()).horizontalAdvance(presentation->text) + 20, 24);
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
