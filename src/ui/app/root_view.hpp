#pragma once

#include <QWidget>

class QStackedWidget;

namespace sorvin {

class AppState;
class HomeView;
class LoadingView;
class MainQueue;
class SelectView;
class SignalAdapter;
class ToastView;

// The window's content: the screen the application state names (home, loading or browsing) over
// the background colour, and the toast over all of them.
class RootView : public QWidget {
public:
    RootView(AppState& state, MainQueue& mainQueue, QWidget* parent = nullptr);

    // Reads the state again; runs after every published change.
    void refresh();

    QWidget* currentScreen() const;
    HomeView* homeView() const { return home_; }
    LoadingView* loadingView() const { return loading_; }
    SelectView* selectView() const { return select_; }
    ToastView* toastView() const { return toast_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    AppState& state_;
    QStackedWidget* screens_;
    HomeView* home_;
    LoadingView* loading_;
    SelectView* select_;
    QWidget* empty_;
    ToastView* toast_;
};

} // namespace sorvin
