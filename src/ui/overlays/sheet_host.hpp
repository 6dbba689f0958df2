#pragma once

class QDialog;
class QWidget;

namespace sorvin {

// The one way a sheet comes up over the main window, whichever screen or panel asks for it: modal
// to that window, drawn in the sheet frame (its fill and border under every control), while the
// window behind lies under the backdrop.
namespace SheetHost {
// Shows the sheet modal to its parent's window (placed as every dialog is, DialogPlacement).
void present(QDialog& sheet);
// The sheet stays over its window and keeps the keyboard, but no longer blocks the window (a
// result that is only read): the window's menus, keys and close button work again. When the sheet
// goes, the window takes the keyboard back as after a modal sheet.
void release(QDialog& sheet);
// Darkens the window while a sheet, a dialog or an alert blocks it; once, for the main window.
void keepBackdrop(QWidget& window);
} // namespace SheetHost

} // namespace sorvin
