#pragma once

#include "shell/hold_advance_repeater.hpp"
#include "shell/key_dispatcher.hpp"
#include "shell/menu_command_table.hpp"

namespace sorvin {

class AppState;
class RandomGenerator;

// Where the keyboard and the menus meet the application state: what the state tells the key
// dispatcher and the menus, and the one operation each command calls.
struct ShellCommands {
    // The preference that paces hold-to-advance, read again at every step.
    static constexpr int defaultHoldAdvanceRate = 10;

    static KeyDispatchContext keyContext(const AppState& state, bool fieldFocused,
                                         const HoldAdvanceRepeater& repeater);
    static void run(const KeyCommand& command, AppState& state, HoldAdvanceRepeater& repeater,
                    RandomGenerator& random);

    // The menu's view of the state; the update and undo values come from their own owners.
    static MenuStateSnapshot menuState(const AppState& state, bool canCheckForUpdates, bool canUndo,
                                       bool canRedo);
    // Runs the items whose action is an operation of the state; `checked` is the state a toggle item
    // was switched to. Returns false for items the window runs itself (about, updates, quit, undo,
    // redo, full screen, minimise, settings).
    static bool run(MenuCommand command, AppState& state, bool checked);
};

} // namespace sorvin
