#include "ui/platform/stacking_order.hpp"

#include <QWidget>
#include <algorithm>
#include <iterator>
#include <vector>

namespace sorvin {

void StackingOrder::keepOnTop(std::initializer_list<QWidget*> widgets) {
    if (widgets.size() == 0) return;
    const QObjectList& siblings = (*widgets.begin())->parentWidget()->children();
    // The last widgets among the siblings, topmost first.
    std::vector<const QObject*> top;
    for (auto it = siblings.rbegin(); it != siblings.rend() && top.size() < widgets.size(); ++it)
        if ((*it)->isWidgetType()) top.push_back(*it);
    if (top.size() == widgets.size() && std::equal(top.begin(), top.end(), std::rbegin(widgets))) return;
    for (QWidget* widget : widgets)
        widget->raise();
}

} // namespace sorvin
