#pragma once

#include "shell/browsing_screen_model.hpp"

#include <QAbstractButton>

namespace sorvin {

// The small square button that hides a panel or brings it back.
class PanelCollapseButton : public QAbstractButton {
public:
    PanelCollapseButton(const PanelCollapseButtonFace& face, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string_view symbol_;
};

} // namespace sorvin
