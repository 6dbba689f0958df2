#include "ui/app/main_window.hpp"

#include "app/app_state.hpp"
#include "app/undo_manager.hpp"
#include "persistence/preference_key.hpp"
#include "shell/window_frame.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/menu_bar.hpp"
#include "ui/app/root_view.hpp"
#include "ui/overlays/sheet_host.hpp"
#include "ui/platform/dialog_placement.hpp"
#include "ui/settings/settings_view.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace sorvin {

MainWindow::MainWindow(AppState& state, AppDelegate& delegate, MainQueue& mainQueue, QWidget* parent)
    : QMainWindow(parent), state_(state), delegate_(delegate), undoManager_(std::make_shared<UndoManager>()),
      root_(new RootView(state, mainQueue, this)), menus_(new MenuBar(*this, state, delegate, *undoManager_)),
      frameSave_(new QTimer(this)) {
    frameSave_->setSingleShot(true);
    frameSave_->setInterval(frameSaveDelayMilliseconds);
    connect(frameSave_, &QTimer::timeout, this, [this] { saveFrame(); });
    setWindowTitle(QStringLiteral("Sorvin"));
    setCentralWidget(root_);
    SheetHost::keepBackdrop(*this);
    DialogPlacement::keepEveryDialogOnScreen();
    // The default size where the screen has it; the window system places the window.
    const Rect room = roomOn(screen());
    resize(static_cast<int>(std::min(WindowFrame::defaultWidth, room.width)),
           static_cast<int>(std::min(WindowFrame::defaultHeight, room.height)));
    frameRestored_ = restoreFrame();
    fitToScreen();
    state_.setUndoManager(undoManager_);
    menus_->setShowSettings([this] { showSettings(); });
}

MainWindow::~MainWindow() {
    if (frameSave_->isActive()) saveFrame();
    // Screens react to being hidden (held keys end, the cheat sheet goes) and the menus follow;
    // that has to happen while the menus' undo manager still exists.
    hide();
    state_.setUndoManager(nullptr);
}

Rect MainWindow::roomOn(const QScreen* screen) const {
    if (!screen) return {0, 0, WindowFrame::defaultWidth, WindowFrame::defaultHeight};
    const QRect free = screen->availableGeometry();
    return WindowFrame::room({double(free.x()), double(free.y()), double(free.width()), double(free.height())},
                             {double(frame_.left()), double(frame_.top()), double(frame_.right()),
                              double(frame_.bottom())});
}

bool MainWindow::restoreFrame() {
    const auto text = state_.settings().defaults().string(PreferenceKey::windowFrame);
    if (!text) return false;
    std::vector<Rect> rooms;
    for (const QScreen* screen : QGuiApplication::screens())
        rooms.push_back(roomOn(screen));
    const auto frame = WindowFrame::restorable(*text, rooms);
    if (!frame) return false;
    setGeometry(int(frame->x), int(frame->y), int(frame->width), int(frame->height));
    return true;
}

void MainWindow::fitToScreen() {
    const Size smallest = WindowFrame::minimumSize(roomOn(screen()));
    setMinimumSize(static_cast<int>(smallest.width), static_cast<int>(smallest.height));
}

void MainWindow::keepOnScreen() {
    // Maximised or full screen, the window manager places the window; the minimum size lets it.
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    const QRect g = geometry();
    const Rect now{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
    const Rect fitted = WindowFrame::fitted(now, roomOn(screen()));
    if (fitted != now) setGeometry(int(fitted.x), int(fitted.y), int(fitted.width), int(fitted.height));
}

void MainWindow::setFrameSource(FrameSource source) {
    // The window manager draws the same frame around the window's dialogs.
    DialogPlacement::setFrameSource(*this, source);
    frameSource_ = std::move(source);
    frameMayHaveChanged();
}

void MainWindow::frameMayHaveChanged() {
    const QMargins frame = frameSource_    ? frameSource_()
                           : windowHandle() ? windowHandle()->frameMargins()
                                            : QMargins();
    // Only the first frame counts: later ones (maximising takes the borders away) come with the
    // window manager's own placement, which a new size or place of ours would undo.
    if (frame.isNull() || !frame_.isNull()) return;
    frame_ = frame;
    fitToScreen();
    // A stored frame measured with the frame counted is too small for the screen as a whole: it
    // comes back once the frame is known.
    if (!frameRestored_) frameRestored_ = restoreFrame();
    keepOnScreen();
}

void MainWindow::followScreen(QScreen* screen) {
    disconnect(screenArea_);
    if (screen)
        screenArea_ = connect(screen, &QScreen::availableGeometryChanged, this, [this] { fitToScreen(); });
    fitToScreen();
}

void MainWindow::frameChanged() {
    if (shown_) frameSave_->start();
}

void MainWindow::saveFrame() {
    frameSave_->stop();
    // Only frames the user made: not the placement before the window first shows, and not the
    // transient states of minimising or full screen.
    if (!shown_ || (windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen))) return;
    const QRect g = geometry();
    const std::string text =
        WindowFrame::text({double(g.x()), double(g.y()), double(g.width()), double(g.height())});
    DefaultsStore& defaults = state_.settings().defaults();
    if (defaults.string(PreferenceKey::windowFrame) != text) defaults.set(PreferenceKey::windowFrame, text);
}

bool MainWindow::event(QEvent* event) {
    // Sent when the last sheet or dialog blocking the window goes, and when a sheet that stopped
    // blocking it goes (SheetHost::release). The window system may leave no window active then;
    // the dialog is not gone from the screen yet.
    if (event->type() == QEvent::WindowUnblocked) QTimer::singleShot(0, this, [this] { takeKeyboardBack(); });
    // The window manager frames the window after it first shows, and may frame it anew later.
    if (event->type() == QEvent::WinIdChange || event->type() == QEvent::WindowStateChange) frameMayHaveChanged();
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose) frameMayHaveChanged();
    // The settings window is gone from the screen: without a window manager no window would have
    // the keyboard now.
    if (watched == settings_ && event->type() == QEvent::Hide)
        QTimer::singleShot(0, this, [this] { takeKeyboardBack(); });
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showSettings() {
    if (!settings_) {
        settings_ = new SettingsView(state_.settings(), delegate_, this);
        settings_->installEventFilter(this);
        // Over the middle of this window, clear of its menu bar: without a window manager a window
        // stays where it is put.
        settings_->move(geometry().center() - settings_->rect().center());
    }
    // One already open may lie under other windows.
    if (settings_->isVisible()) settings_->raise();
    settings_->show();
    settings_->activateWindow();
}

void MainWindow::takeKeyboardBack() {
    if (!isVisible() || isMinimized() || QApplication::activeModalWidget()) return;
    // A sheet still on the screen keeps it (a result that no longer blocks the window).
    for (const QDialog* sheet : findChildren<QDialog*>())
        if (sheet->isVisible()) return;
    activateWindow();
    if (QWidget* screen = root_->currentScreen()) screen->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        delegate_.setState(&state_);
        // Shown, the window has its screen: it keeps within that screen, and follows it to another.
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) { followScreen(screen); });
        windowHandle()->installEventFilter(this);
        followScreen(screen());
        keepOnScreen();
    }
    frameMayHaveChanged();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing this window quits; a record that could not be written keeps it open if the user says so.
    if (!delegate_.confirmClose(this)) {
        event->ignore();
        return;
    }
    if (frameSave_->isActive()) saveFrame();
    QMainWindow::closeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    frameMayHaveChanged();
    frameChanged();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    frameMayHaveChanged();
    frameChanged();
}

} // namespace sorvin
