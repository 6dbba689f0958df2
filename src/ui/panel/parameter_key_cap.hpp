#pragma once

#include <QAbstractButton>
#include <functional>

namespace sorvin {

// A key cap of a slot column: the key bound to the slot, lit while the key is held or the cap is
// pressed, and a button that runs its action once per completed click. As any button, it shows
// pressed only while the held pointer is over its face.
class ParameterKeyCap : public QAbstractButton {
public:
    explicit ParameterKeyCap(QWidget* parent = nullptr);
    void setCap(const QString& label, bool isImplemented, bool keyboardIsPressed);
    bool isImplemented() const { return implemented_; }
    // Lit for the key held on the keyboard.
    bool keyboardIsPressed() const { return keyboardIsPressed_; }

    std::function<void()> action;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF faceRect() const;
    QString label_;
    bool implemented_ = false;
    bool keyboardIsPressed_ = false;
    bool hovered_ = false;
};

} // namespace sorvin
