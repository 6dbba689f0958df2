#pragma once

#include "shell/browsing_screen_model.hpp"
#include "app/panel_resize_limits.hpp"

#include <QWidget>
#include <functional>

namespace sorvin {

// The thin divider on a panel's edge: dragging sizes the panel, a double click restores its size.
class PanelResizeHandle : public QWidget {
public:
    PanelResizeHandle(PanelResizeAxis axis, std::function<double()> currentValue,
                      std::function<void(double)> setValue, QWidget* parent);

    bool isHovered() const { return hovered_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    double along(const QPointF& globalPoint) const;

    PanelResizeAxis axis_;
    std::function<double()> currentValue_;
    std::function<void(double)> setValue_;
    PanelResizeDrag drag_;
    double pressPosition_ = 0;
    bool hovered_ = false;
};

} // namespace sorvin
