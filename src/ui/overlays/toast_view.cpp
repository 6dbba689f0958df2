#include "ui/overlays/toast_view.hpp"

#include "ui/platform/sorvin_look.hpp"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

namespace sorvin {

namespace {
constexpr int cornerRadius = 8;
constexpr int horizontalPadding = 16;
constexpr int verticalPadding = 10;
constexpr int sideMargin = 20;
} // namespace

MessageCapsule::MessageCapsule(const QString& text, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setFont(SorvinLook::font(13));
    setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void MessageCapsule::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(path, QColor(0, 0, 0, 191));
    painter.end();
    QLabel::paintEvent(event);
}

ToastView::ToastView(QWidget* parent)
    : QWidget(parent), capsule_(new MessageCapsule(QString(), this)),
      opacity_(new QGraphicsOpacityEffect(this)), fade_(new QPropertyAnimation(opacity_, "opacity", this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    capsule_->setGraphicsEffect(opacity_);
    fade_->setDuration(fadeMilliseconds);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    fade_->setEndValue(0.0);
    capsule_->hide();
}

void ToastView::present(const std::optional<QString>& text, bool visible) {
    if (!text) {
        fade_->stop();
        capsule_->hide();
        visible_ = false;
        return;
    }
    capsule_->setText(*text);
    capsule_->show();
    if (visible) {
        fade_->stop();
        opacity_->setOpacity(1.0);
    } else if (visible_) {
        fade_->setStartValue(opacity_->opacity());
        fade_->start();
    } else if (fade_->state() != QAbstractAnimation::Running) {
        opacity_->setOpacity(0.0);
    }
    visible_ = visible;
    place();
}

double ToastView::opacity() const {
    return capsule_->isVisible() ? opacity_->opacity() : 0.0;
}

void ToastView::resizeEvent(QResizeEvent*) {
    place();
}

void ToastView::place() {
    const int available = std::max(1, width() - 2 * sideMargin);
    // Natural width on one line, wrapped only when the window is narrower.
    const QFontMetrics metrics(capsule_->font());
    const int textWidth = metrics.horizontalAdvance(capsule_->text()) + 2 * horizontalPadding + 2;
    const int capsuleWidth = std::min(textWidth, available);
    const int capsuleHeight = capsule_->heightForWidth(capsuleWidth);
    capsule_->setGeometry((width() - capsuleWidth) / 2, height() - bottomPadding - capsuleHeight,
                          capsuleWidth, capsuleHeight);
}

OriginalPhotoIndicator::OriginalPhotoIndicator(QWidget* parent)
    : MessageCapsule(QStringLiteral("元の写真"), parent) {
    setWordWrap(false);
    adjustSize();
}

} // namespace sorvin
