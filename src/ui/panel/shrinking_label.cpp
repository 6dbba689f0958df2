#include "ui/panel/shrinking_label.hpp"

#include "view/text_fit.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

// How close tightening may set the letters at most: each letter's advance is cut by up to 9 %.
constexpr double kTightestSpacing = 91; // percent

} // namespace

ShrinkingLabel::ShrinkingLabel(double minimumScale, bool allowsTightening, QWidget* parent)
    : QLabel(parent), minimumScale_(minimumScale), allowsTightening_(allowsTightening) {
    setTextFormat(Qt::PlainText);
}

ShrinkingLabel::Fitting ShrinkingLabel::fitting() const {
    QFont shown = font();
    double width = QFontMetricsF(shown).horizontalAdvance(text());
    const double room = contentsRect().width();
    if (width <= room) return {shown, 1, text()};
    if (allowsTightening_ && width * minimumScale_ > room) {
        // The advances shrink with the spacing: the letters come only as close as the text needs.
        const double needed = 100 * room / (width * minimumScale_);
        shown.setLetterSpacing(QFont::PercentageSpacing, std::max(kTightestSpacing, std::floor(needed)));
        width = QFontMetricsF(shown).horizontalAdvance(text());
    }
    const TextFit fit = TextFit::of(width, room, minimumScale_);
    return {shown, fit.scale,
            fit.whole ? text() : QFontMetricsF(shown).elidedText(text(), Qt::ElideRight, room / fit.scale)};
}

bool ShrinkingLabel::fits() const {
    return fitting().shown == text();
}

QSize ShrinkingLabel::minimumSizeHint() const {
    const QSize full = QLabel::minimumSizeHint();
    const double natural = QFontMetricsF(font()).horizontalAdvance(text());
    const int margins = std::max(0, full.width() - static_cast<int>(std::ceil(natural)));
    return {margins + static_cast<int>(std::ceil(natural * minimumScale_)), full.height()};
}

void ShrinkingLabel::paintEvent(QPaintEvent*) {
    const Fitting f = fitting();
    QPainter painter(this);
    painter.setFont(f.font);
    // A label that cannot be used looks the same; whoever holds it dims it.
    painter.setPen(palette().color(QPalette::Active, foregroundRole()));
    const QRectF room = contentsRect();
    // Scaled about the origin, the rectangle below lands on the contents again.
    const double s = f.scale;
    painter.scale(s, s);
    const QRectF scaled(room.x() / s, room.y() / s, room.width() / s, room.height() / s);
    painter.drawText(scaled, static_cast<int>(alignment()) | Qt::TextSingleLine, f.shown);
}

} // namespace sorvin
