#include "ui/app/root_view.hpp"

#include "app/app_state.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/home/home_view.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui/platform/stacking_order.hpp"

#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sorvin {

RootView::RootView(AppState& state, MainQueue& mainQueue, QWidget* parent)
    : QWidget(parent), state_(state), screens_(new QStackedWidget(this)),
      home_(new HomeView(state, screens_)), loading_(new LoadingView(state, screens_)),
      select_(new SelectView(state, mainQueue, screens_)), empty_(new QWidget(screens_)),
      toast_(new ToastView(this)) {
    screens_->addWidget(home_);
    screens_->addWidget(loading_);
    screens_->addWidget(select_);
    screens_->addWidget(empty_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(screens_);
    toast_->raise();

    auto* adapter = new SignalAdapter(state.changed, this);
    connect(adapter, &SignalAdapter::fired, this, [this] { refresh(); });
    refresh();
}

QWidget* RootView::currentScreen() const {
    return screens_->currentWidget();
}

void RootView::refresh() {
    switch (state_.screen()) {
    case AppScreen::home:
        home_->refresh();
        screens_->setCurrentWidget(home_);
        break;
    case AppScreen::loading:
        loading_->refresh();
        screens_->setCurrentWidget(loading_);
        break;
    case AppScreen::select:
        // Without a library the browsing screen has nothing to show: only the background. The
        // screen follows the state itself, once per turn of the event loop.
        if (state_.library()) {
            screens_->setCurrentWidget(select_);
        } else {
            screens_->setCurrentWidget(empty_);
        }
        break;
    }
    const auto& text = state_.toastText();
    toast_->present(text ? std::optional(QString::fromStdString(*text)) : std::nullopt,
                    state_.toastIsVisible());
    StackingOrder::keepOnTop({toast_});
}

void RootView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), SorvinColor::background());
}

void RootView::resizeEvent(QResizeEvent*) {
    toast_->setGeometry(rect());
}

} // namespace sorvin
