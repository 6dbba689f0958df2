#pragma once

#include <initializer_list>

class QWidget;

namespace sorvin {

// Keeps widgets over their siblings. Qt repaints a raised widget, and whatever shows through it,
// unless it is already the last of all its parent's children (widgets or not), so raising widgets
// that lie on top already repaints them for nothing.
struct StackingOrder {
    // Whether the widgets, which share one parent, lie over all their other siblings in the order
    // given (the last on top).
    static bool liesOnTop(std::initializer_list<QWidget*> widgets);
    // Raises the widgets in the order given unless they lie so already.
    static void keepOnTop(std::initializer_list<QWidget*> widgets);
};

} // namespace sorvin
