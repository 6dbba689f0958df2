#pragma once

#include <QColor>
#include <QFont>

class QApplication;
class QString;
class QWidget;

namespace sorvin {

// The palette every view draws with; all opaque sRGB.
struct SorvinColor {
    static QColor background() { return QColor(28, 28, 30); }
    static QColor text() { return QColor(242, 242, 247); }
    static QColor secondaryText() { return QColor(152, 152, 157); }
    static QColor accent() { return QColor(255, 55, 95); }
    static QColor separator() { return QColor(58, 58, 60); }
};

// The dark look: Fusion with a dark palette, and the Japanese font set explicitly at pixel sizes
// (a size given in points is drawn as that many logical pixels).
struct SorvinLook {
    static constexpr const char* fontFamily = "Noto Sans CJK JP";
    // The same design with every character, digits included, of one width: for values that change
    // in place.
    static constexpr const char* equalWidthFontFamily = "Noto Sans Mono CJK JP";
    static constexpr int bodyPixelSize = 13;

    static void apply(QApplication& application);
    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
    static QFont equalWidthFont(int pixelSize);
    // Gives the widget the style sheet unless it has it already: Qt polishes the widget and all
    // its children again on every call, even with the same text.
    static void restyle(QWidget& widget, const QString& sheet);
};

} // namespace sorvin
