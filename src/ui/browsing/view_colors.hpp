#pragma once

#include "view/view_color.hpp"

#include <QColor>

namespace sorvin {

inline QColor toQColor(const ViewColor& c) {
    QColor color(c.color.red, c.color.green, c.color.blue);
    color.setAlphaF(static_cast<float>(c.opacity));
    return color;
}

} // namespace sorvin
