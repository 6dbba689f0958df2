#pragma once

#include <QColor>
#include <QWidget>

namespace sorvin {

// Draws the widget it covers at an opacity below 1 without an offscreen pass: a widget that sits
// over a plain backdrop of one colour, drawn at opacity o, gives the same pixels as the widget
// drawn fully with the backdrop laid over it at 1 - o. The veil is that layer; it stays the top
// child of the widget, follows its size and lets every pointer event through.
class DimmingVeil : public QWidget {
public:
    DimmingVeil(QColor backdrop, QWidget* covered);
    // 1 hides the veil.
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor backdrop_;
    double opacity_ = 1;
};

} // namespace sorvin
