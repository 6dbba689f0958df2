#pragma once

#include <QLabel>
#include <QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace sorvin {

// The dark rounded capsule of white text that toasts and the original-photo indicator share.
class MessageCapsule : public QLabel {
public:
    explicit MessageCapsule(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A toast: the capsule centred 80 points above the bottom of the area it covers. It takes no
// pointer events, so what lies below stays clickable.
class ToastView : public QWidget {
public:
    static constexpr int bottomPadding = 80;
    static constexpr int fadeMilliseconds = 300;

    explicit ToastView(QWidget* parent = nullptr);

    // No text hides the toast; a text with visible false is laid out at opacity 0 (while fading).
    void present(const std::optional<QString>& text, bool visible);
    QString text() const { return capsule_->text(); }
    double opacity() const;
    const MessageCapsule* capsule() const { return capsule_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    MessageCapsule* capsule_;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
    bool visible_ = false;
};

// "元の写真", shown over the photo while the unedited original is.
class OriginalPhotoIndicator : public MessageCapsule {
public:
    explicit OriginalPhotoIndicator(QWidget* parent = nullptr);
};

} // namespace sorvin
