#include "ui/browsing/command_cheat_sheet_view.hpp"

#include "shell/command_cheat_sheet.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace sorvin {

CommandCheatSheetView::CommandCheatSheetView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CommandCheatSheetView::setVisibleLabels(std::map<std::string, std::string> labels) {
    if (labels == labels_) return;
    labels_ = std::move(labels);
    update();
}

void CommandCheatSheetView::paintKeyCap(QPainter& painter, double x, double y, const std::string& key) {
    using M = CommandCheatSheetMetrics;
    const auto label = labels_.find(key);
    const CommandCheatSheetKeyCapStyle style{label != labels_.end()};
    painter.save();
    painter.setOpacity(style.opacity());
    const QRectF cap(x, y, M::keySize, M::keySize);
    QPainterPath shape;
    shape.addRoundedRect(cap, 6, 6);
    painter.fillPath(shape, toQColor(ViewPalette::separator.withOpacity(0.45)));
    painter.setPen(
        QPen(toQColor(style.labelled ? ViewPalette::accent : ViewPalette::separator), style.borderWidth()));
    painter.drawPath(shape);

    painter.setPen(toQColor(ViewPalette::text));
    painter.setFont(SorvinLook::font(15, QFont::DemiBold));
    painter.drawText(QRectF(x, y + 6, M::keySize, 20), Qt::AlignHCenter | Qt::AlignTop,
                     QString::fromStdString(key));
    if (style.labelled) {
        // Shrinks down to 70 % before the label is cut.
        const QString text = QString::fromStdString(label->second);
        const double room = M::keySize - 4;
        QFont font = SorvinLook::font(9);
        for (int pixels = 8; pixels >= 7 && QFontMetricsF(font).horizontalAdvance(text) > room; --pixels)
            font.setPixelSize(pixels);
        painter.setFont(font);
        const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideRight, room);
        painter.drawText(QRectF(x + 2, y, room, M::keySize - 5), Qt::AlignHCenter | Qt::AlignBottom, shown);
    }
    painter.restore();
}

void CommandCheatSheetView::paintEvent(QPaintEvent*) {
    using M = CommandCheatSheetMetrics;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), toQColor(ViewPalette::background.withOpacity(0.8)));

    const auto fit = M::fit(width(), height());
    if (fit.scale > 0) {
        painter.save();
        painter.translate(fit.x, fit.y);
        painter.scale(fit.scale, fit.scale);
        const auto& rows = CommandCheatSheet::rows();
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            for (int k = 0; k < static_cast<int>(rows[r].size()); ++k) {
                const auto origin = M::keyOrigin(r, k);
                paintKeyCap(painter, origin.x, origin.y, std::string(rows[r][k]));
            }
        const auto& arrows = CommandCheatSheet::arrowKeys();
        for (int i = 0; i < static_cast<int>(arrows.size()); ++i) {
            const auto origin = M::arrowKeyOrigin(i);
            paintKeyCap(painter, origin.x, origin.y, std::string(arrows[i]));
        }
        painter.restore();
    }
    painter.fillRect(QRect(0, 0, width(), 1), toQColor(ViewPalette::separator));
}

} // namespace sorvin
