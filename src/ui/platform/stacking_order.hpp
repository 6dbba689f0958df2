#pragma once

#include <initializer_list>

class QWidget;

namespace sorvin {

// Keeps widgets over their siblings. Qt repaints a raised widget, and whatever shows through it,
// unless it is already the last of all its parent's children (widgets or not), so raising widgets
// that lie on top already repaints them for nothing.
struct StackingOrder {
    // Raises the widgets, which share one parent, in the order given (the last on top), unless they
    // already lie over all their other siblings in that order.
    static void keepOnTop(std::initializer_list<QWidget*> widgets);
};

} // namespace sorvin
