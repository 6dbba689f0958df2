#pragma once

#include "platform/geometry.hpp"

#include <QMainWindow>
#include <QMargins>
#include <functional>
#include <memory>

class QScreen;
class QTimer;

namespace sorvin {

class AppDelegate;
class AppSettings;
class AppState;
class MainQueue;
class MenuBar;
class RootView;
class SettingsView;
class UndoManager;

// The one main window: titled "Sorvin", never smaller than 1360 × 800, 1400 × 900 at first, its
// frame restored from the preferences and written back after moves and resizes. On a screen
// smaller than that, the screen is the limit: the whole window, the window manager's title bar and
// borders included, stays on its free area. A drag moves the window many times a second and every
// write of the preferences reaches the disk, so the frame is written once the window has kept still
// for a moment, and at once when it closes.
class MainWindow : public QMainWindow {
public:
    static constexpr int frameSaveDelayMilliseconds = 500;

    // The window manager's frame around the contents (title bar and borders). On X11 it is known
    // only some time after the window first shows, once the window manager has framed it.
    using FrameSource = std::function<QMargins()>;

    MainWindow(AppState& state, AppDelegate& delegate, MainQueue& mainQueue, QWidget* parent = nullptr);
    ~MainWindow() override;

    RootView* rootView() const { return root_; }
    MenuBar* menus() const { return menus_; }
    UndoManager& undoManager() const { return *undoManager_; }

    // The settings window (Ctrl+,): made when first asked for and kept. Esc and Ctrl+W close it,
    // and the keyboard comes back here.
    void showSettings();
    SettingsView* settingsView() const { return settings_; }

    // Where the frame is read from instead of the window system (a window system without frames,
    // as in tests), for the window and its dialogs; the window fits itself to the frame the source
    // gives at once.
    void setFrameSource(FrameSource source);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // After a sheet or dialog: the window and its screen take the keyboard again, so the menus'
    // shortcuts work without a click into the window.
    void takeKeyboardBack();
    // What the screen leaves for the window's contents: the area windows may take, less the frame.
    Rect roomOn(const QScreen* screen) const;
    // True when the stored frame was applied.
    bool restoreFrame();
    // The minimum size of the screen the window is on.
    void fitToScreen();
    // A window neither maximised nor full screen is brought wholly onto its screen's free area.
    void keepOnScreen();
    void followScreen(QScreen* screen);
    // Reads the frame again: the first one known sets the minimum size and brings the window
    // wholly onto the screen.
    void frameMayHaveChanged();
    void frameChanged();
    void saveFrame();

    AppState& state_;
    AppDelegate& delegate_;
    std::shared_ptr<UndoManager> undoManager_;
    RootView* root_;
    MenuBar* menus_;
    QTimer* frameSave_;
    SettingsView* settings_ = nullptr;
    QMetaObject::Connection screenArea_;
    FrameSource frameSource_;
    QMargins frame_; // as first read; none until the window manager has framed the window
    bool frameRestored_ = false;
    bool shown_ = false;
};

} // namespace sorvin
