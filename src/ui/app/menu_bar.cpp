#include "ui/app/menu_bar.hpp"

#include "app/app_state.hpp"
#include "app/undo_manager.hpp"
#include "platform/app_identity.hpp"
#include "shell/shell_commands.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>

namespace sorvin {

MenuBar::MenuBar(QMainWindow& window, AppState& state, AppDelegate& delegate, UndoManager& undoManager)
    : QObject(&window), window_(window), state_(state), delegate_(delegate), undoManager_(undoManager) {
    std::map<MenuName, QMenu*> menus;
    for (const MenuItemRow& row : MenuCommandTable::rows()) {
        QMenu*& menu = menus[row.menu];
        if (!menu) menu = window.menuBar()->addMenu(QString::fromUtf8(MenuCommandTable::menuTitle(row.menu)));
        auto* action = menu->addAction(QString::fromUtf8(row.title));
        if (!row.shortcut.empty())
            action->setShortcut(
                QKeySequence::fromString(QString::fromUtf8(row.shortcut), QKeySequence::PortableText));
        action->setCheckable(row.checkable);
        // The menus are the window's: they work whatever widget has the keyboard. Quitting and the
        // undo of the photos' edits belong to the whole program: they also work while another of
        // its windows has the keyboard (the settings), unless a sheet or an alert blocks the menus.
        const bool programWide = row.command == MenuCommand::quit || row.command == MenuCommand::undo ||
                                 row.command == MenuCommand::redo;
        action->setShortcutContext(programWide ? Qt::ApplicationShortcut : Qt::WindowShortcut);
        if (row.command == MenuCommand::about) action->setMenuRole(QAction::AboutRole);
        if (row.command == MenuCommand::quit) action->setMenuRole(QAction::QuitRole);
        const MenuCommand command = row.command;
        connect(action, &QAction::triggered, this,
                [this, command](bool checked) { trigger(command, checked); });
        if (row.dividerAfter) menu->addSeparator();
        actions_[command] = action;
    }

    auto* stateAdapter = new SignalAdapter(state.changed, this);
    connect(stateAdapter, &SignalAdapter::fired, this, [this] { refresh(); });
    auto* undoAdapter = new SignalAdapter(undoManager.changed, this);
    connect(undoAdapter, &SignalAdapter::fired, this, [this] { refresh(); });
    connect(&delegate, &AppDelegate::canCheckForUpdatesChanged, this, [this] { refresh(); });
    // The library's own changes (rotation, crop, zoom, filter) change enabled states too.
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    refresh();
}

QAction* MenuBar::action(MenuCommand command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void MenuBar::setShowSettings(std::function<void()> show) {
    showSettings_ = std::move(show);
    refresh();
}

void MenuBar::refresh() {
    const MenuStateSnapshot snapshot = ShellCommands::menuState(
        state_, delegate_.canCheckForUpdates(), undoManager_.canUndo(), undoManager_.canRedo());
    for (const auto& [command, action] : actions_) {
        const MenuItemState item = MenuCommandTable::itemState(command, snapshot);
        action->setText(QString::fromStdString(item.title));
        action->setEnabled(item.enabled && (command != MenuCommand::settings || showSettings_));
        if (item.checked) action->setChecked(*item.checked);
    }
}

void MenuBar::trigger(MenuCommand command, bool checked) {
    if (!ShellCommands::run(command, state_, checked)) {
        switch (command) {
        case MenuCommand::about:
            QMessageBox::about(
                &window_, QStringLiteral("Sorvinについて"),
                QStringLiteral("Sorvin %1").arg(QString::fromStdString(AppIdentity::version())));
            break;
        case MenuCommand::checkForUpdates:
            delegate_.checkForUpdates();
            break;
        case MenuCommand::settings:
            if (showSettings_) showSettings_();
            break;
        case MenuCommand::quit:
            delegate_.requestQuit(&window_);
            break;
        case MenuCommand::undo:
            if (undoManager_.canUndo()) undoManager_.undo();
            break;
        case MenuCommand::redo:
            if (undoManager_.canRedo()) undoManager_.redo();
            break;
        case MenuCommand::fullScreen:
            window_.setWindowState(window_.windowState() ^ Qt::WindowFullScreen);
            break;
        case MenuCommand::minimize:
            window_.showMinimized();
            break;
        default:
            break;
        }
    }
    // A toggle shows the state's value, whether or not the state took the change.
    refresh();
}

} // namespace sorvin
