#pragma once

#include <QMargins>
#include <functional>

class QWidget;

namespace sorvin {

// The one rule for where the program's dialogs come up (sheets, choosers, the save panel, alerts,
// the settings window): on their screen's free area, title bar and frame included, and no larger
// than the room there, as far as their contents let them shrink; one that cannot shrink so far
// keeps its title bar on the screen. The window system may place a dialog before it knows the
// frame it draws around it: when a dialog shows, and whenever its frame is first known or
// changes, it is fitted again. Where the user moves or sizes it later is left alone.
namespace DialogPlacement {
// From now on, every dialog of the program as it shows.
void keepEveryDialogOnScreen();
// Fits a dialog that is shown again now, after its own contents made it larger.
void fitAgain(QWidget& dialog);
// Where the frame of the window's dialogs is read from instead of the window system (a window
// system without frames, as in tests).
void setFrameSource(QWidget& window, std::function<QMargins()> source);
} // namespace DialogPlacement

} // namespace sorvin
