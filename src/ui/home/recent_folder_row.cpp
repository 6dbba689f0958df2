#include "ui/home/recent_folder_row.hpp"

#include "shell/recent_folder_presentation.hpp"
#include "ui/platform/plain_tool_tip.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace sorvin {

namespace {
constexpr int padding = 6;
constexpr int spacing = 6;
constexpr int labelSpacing = 8;
constexpr int removeSize = 12;
constexpr int nameSize = 13;
constexpr int locationSize = 11;
} // namespace

RecentFolderRow::RecentFolderRow(const QString& path, const QString& homeFolder, std::function<void()> open,
                                 std::function<void()> remove, QWidget* parent)
    : QWidget(parent), path_(path), open_(std::move(open)), remove_(std::move(remove)) {
    const auto presentation = RecentFolderPresentation::make(path.toStdString(), homeFolder.toStdString());
    name_ = QString::fromStdString(presentation.name);
    location_ = QString::fromStdString(presentation.location);
    setFixedSize(rowWidth, rowHeight);
    setCursor(Qt::PointingHandCursor);
    setToolTip(plainToolTip(path));
}

QRect RecentFolderRow::removeButtonRect() const {
    return QRect(width() - padding - removeSize, (height() - removeSize) / 2, removeSize, removeSize);
}

void RecentFolderRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hovering_) {
        QColor fill = SorvinColor::separator();
        fill.setAlphaF(0.3f);
        painter.fillRect(rect(), fill);
    }

    // Name and location share what the remove button leaves; each is cut at its end when the two
    // do not fit side by side.
    const int available = removeButtonRect().left() - spacing - padding;
    const QFont nameFont = SorvinLook::font(nameSize);
    const QFont locationFont = SorvinLook::font(locationSize);
    // Measured as the painter will draw, with a point of slack for rounding between the two.
    painter.setFont(nameFont);
    const QFontMetrics nameMetrics = painter.fontMetrics();
    painter.setFont(locationFont);
    const QFontMetrics locationMetrics = painter.fontMetrics();
    int nameWidth = nameMetrics.horizontalAdvance(name_) + 1;
    int locationWidth = locationMetrics.horizontalAdvance(location_) + 1;
    if (nameWidth + labelSpacing + locationWidth > available) {
        const int half = (available - labelSpacing) / 2;
        if (nameWidth <= half)
            locationWidth = available - labelSpacing - nameWidth;
        else if (locationWidth <= half)
            nameWidth = available - labelSpacing - locationWidth;
        else
            nameWidth = locationWidth = half;
    }
    int x = padding;
    painter.setFont(nameFont);
    painter.setPen(SorvinColor::text());
    painter.drawText(QRect(x, 0, nameWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     nameMetrics.elidedText(name_, Qt::ElideRight, nameWidth));
    x += nameWidth + labelSpacing;
    painter.setFont(locationFont);
    painter.setPen(SorvinColor::secondaryText());
    painter.drawText(QRect(x, 0, std::max(0, locationWidth), height()), Qt::AlignVCenter | Qt::AlignLeft,
                     locationMetrics.elidedText(location_, Qt::ElideRight, std::max(0, locationWidth)));

    // A filled circle with a cross cut out of it.
    const QRectF circle = removeButtonRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(SorvinColor::secondaryText());
    painter.drawEllipse(circle);
    QPen cross(SorvinColor::background(), 1.5);
    cross.setCapStyle(Qt::RoundCap);
    painter.setPen(cross);
    const QPointF c = circle.center();
    const double arm = removeSize * 0.2;
    painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
}

void RecentFolderRow::enterEvent(QEnterEvent*) {
    hovering_ = true;
    update();
}

void RecentFolderRow::leaveEvent(QEvent*) {
    hovering_ = false;
    update();
}

void RecentFolderRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    // The action may rebuild the list this row belongs to, so it runs after this event.
    const auto action =
        removeButtonRect().adjusted(-3, -3, 3, 3).contains(event->position().toPoint()) ? remove_ : open_;
    if (action) QTimer::singleShot(0, this, action);
}

} // namespace sorvin
