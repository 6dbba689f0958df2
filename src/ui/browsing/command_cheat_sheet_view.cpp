#include "ui/browsing/command_cheat_sheet_view.hpp"

#include "shell/command_cheat_sheet.hpp"
#include "view/text_fit.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace sorvin {

CommandCheatSheetView::CommandCheatSheetView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CommandCheatSheetView::setVisibleLabels(std::map<std::string, std::string> labels) {
    if (labels == labels_) return;
    labels_ = std::move(labels);
    update();
}

QFont CommandCheatSheetView::labelFont() {
    return SorvinLook::font(9);
}

CommandCheatSheetView::Fitted CommandCheatSheetView::fit(const std::string& label) {
    const QString text = QString::fromStdString(label);
    const QFontMetricsF metrics(labelFont());
    const double natural = metrics.horizontalAdvance(text);
    const TextFit fit = TextFit::of(natural, labelRoom, CommandCheatSheetMetrics::labelMinimumScale);
    return {fit.scale, fit.whole ? text : metrics.elidedText(text, Qt::ElideRight, labelRoom / fit.scale)};
}

std::vector<std::string> CommandCheatSheetView::cutLabels() const {
    std::vector<std::string> cut;
    for (const auto& [key, label] : labels_)
        if (fit(label).text != QString::fromStdString(label)) cut.push_back(label);
    return cut;
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
        const Fitted fitted = fit(label->second);
        painter.setFont(labelFont());
        // Scaled about the cap's bottom centre, where the label stands.
        painter.translate(x + M::keySize / 2, y + M::keySize - 5);
        painter.scale(fitted.scale, fitted.scale);
        const double room = labelRoom / fitted.scale;
        painter.drawText(QRectF(-room / 2, -M::keySize, room, M::keySize), Qt::AlignHCenter | Qt::AlignBottom,
                         fitted.text);
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
        painter.setPen(toQColor(ViewPalette::secondaryText));
        painter.setFont(SorvinLook::font(11));
        const std::string_view note = CommandCheatSheet::originalPreviewNote;
        painter.drawText(QRectF(M::noteX, 0, M::noteWidth, M::noteHeight),
                         Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
                         QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size())));
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
