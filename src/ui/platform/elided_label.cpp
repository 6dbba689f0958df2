#include "ui/platform/elided_label.hpp"

#include <QFontMetricsF>
#include <QPainter>

namespace sorvin {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setText(const QString& text, const QString& cutPart) {
    cutPart_ = cutPart;
    QLabel::setText(text);
    update();
}

QString ElidedLabel::shownText() const {
    const QFontMetricsF metrics(font());
    const double room = contentsRect().width();
    const QString whole = text();
    if (metrics.horizontalAdvance(whole) <= room) return whole;
    const qsizetype at = cutPart_.isEmpty() ? -1 : whole.indexOf(cutPart_);
    if (at >= 0) {
        const QString before = whole.left(at);
        const QString after = whole.mid(at + cutPart_.size());
        const double left = room - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
        const QString part = metrics.elidedText(cutPart_, Qt::ElideRight, left);
        // Too narrow for even the ellipsis between the words: the whole text is cut at its end.
        if (!part.isEmpty()) return before + part + after;
    }
    return metrics.elidedText(whole, Qt::ElideRight, room);
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, shownText());
}

} // namespace sorvin
