#include "ui/browsing/top_bar_view.hpp"

#include "ui/browsing/view_colors.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QFontMetricsF>
#include <QPainter>

namespace sorvin {

TopBarView::TopBarView(QWidget* parent) : QWidget(parent) {
    setFixedHeight(static_cast<int>(BrowsingTopBar::kHeight));
}

void TopBarView::setBar(BrowsingTopBar bar) {
    if (bar.fileName == bar_.fileName && bar.dateText == bar_.dateText && bar.hasHeart == bar_.hasHeart)
        return;
    bar_ = std::move(bar);
    update();
}

void TopBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), toQColor(ViewPalette::background.withOpacity(0.8)));
    painter.fillRect(QRect(0, height() - 1, width(), 1), toQColor(ViewPalette::separator));

    const double heartWidth = 28;
    const QRectF heart(width() - 14 - heartWidth, 0, heartWidth, height());
    painter.setFont(SorvinLook::font(24));
    painter.setPen(toQColor(bar_.hasHeart ? ViewPalette::accent : ViewPalette::secondaryText));
    painter.drawText(heart, Qt::AlignCenter, bar_.hasHeart ? QStringLiteral("♥") : QStringLiteral("♡"));

    if (!bar_.fileName) return;
    const double room = std::max(0.0, heart.left() - 12 - 14);
    const QFont nameFont = SorvinLook::font(14);
    const QFont dateFont = SorvinLook::font(11);
    const double nameHeight = QFontMetricsF(nameFont).height();
    const double dateHeight = QFontMetricsF(dateFont).height();
    const double top = (height() - nameHeight - 1 - dateHeight) / 2;
    painter.setFont(nameFont);
    painter.setPen(toQColor(ViewPalette::text));
    painter.drawText(
        QRectF(14, top, room, nameHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(nameFont).elidedText(QString::fromStdString(*bar_.fileName), Qt::ElideRight, room));
    painter.setFont(dateFont);
    painter.setPen(toQColor(ViewPalette::secondaryText));
    painter.drawText(QRectF(14, top + nameHeight + 1, room, dateHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(bar_.dateText));
}

} // namespace sorvin
