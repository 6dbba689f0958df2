#pragma once

#include "shell/browsing_screen_model.hpp"

#include <QWidget>

namespace sorvin {

// The bar over the browsing screen: the current photo's file name and capture date, and its heart.
class TopBarView : public QWidget {
public:
    explicit TopBarView(QWidget* parent);
    void setBar(BrowsingTopBar bar);
    const BrowsingTopBar& bar() const { return bar_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BrowsingTopBar bar_;
};

} // namespace sorvin
