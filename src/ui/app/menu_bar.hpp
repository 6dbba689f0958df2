#pragma once

#include "shell/menu_command_table.hpp"

#include <QObject>
#include <map>

class QAction;
class QMainWindow;

namespace sorvin {

class AppDelegate;
class AppState;
class UndoManager;

// The menu bar of the main window, built from the menu command table. Titles, check marks and
// enabled states are computed again after every published change.
class MenuBar : public QObject {
public:
    MenuBar(QMainWindow& window, AppState& state, AppDelegate& delegate, UndoManager& undoManager);

    void refresh();
    QAction* action(MenuCommand command) const;
    // Where the settings item leads; without one the item is disabled.
    void setShowSettings(std::function<void()> show);

private:
    void trigger(MenuCommand command, bool checked);

    QMainWindow& window_;
    AppState& state_;
    AppDelegate& delegate_;
    UndoManager& undoManager_;
    std::map<MenuCommand, QAction*> actions_;
    std::function<void()> showSettings_;
};

} // namespace sorvin
