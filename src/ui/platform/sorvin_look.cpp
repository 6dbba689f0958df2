#include "ui/platform/sorvin_look.hpp"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QWidget>
#include <map>
#include <utility>

namespace sorvin {

void SorvinLook::apply(QApplication& application) {
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette;
    const QColor background = SorvinColor::background();
    const QColor text = SorvinColor::text();
    const QColor base(44, 44, 46);
    const QColor button(58, 58, 60);
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, background);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, SorvinColor::secondaryText());
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, SorvinColor::accent());
    palette.setColor(QPalette::Highlight, SorvinColor::accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, SorvinColor::accent());
    palette.setColor(QPalette::Mid, SorvinColor::separator());
    palette.setColor(QPalette::Dark, QColor(20, 20, 22));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, SorvinColor::secondaryText());
    // Fusion etches disabled menu texts with the light colour, which the dark palette would make
    // a bright copy of the text: disabled items show the disabled text colour alone.
    palette.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    application.setPalette(palette);
    application.setFont(font(bodyPixelSize));
}

// The views ask for the same few fonts at every refresh; making one parses its family anew.
QFont SorvinLook::font(int pixelSize, QFont::Weight weight) {
    thread_local std::map<std::pair<int, int>, QFont> made;
    const auto [found, fresh] = made.try_emplace({pixelSize, static_cast<int>(weight)});
    if (fresh) {
        found->second = QFont(QString::fromLatin1(fontFamily));
        found->second.setPixelSize(pixelSize);
        found->second.setWeight(weight);
    }
    return found->second;
}

QFont SorvinLook::equalWidthFont(int pixelSize) {
    QFont font(QString::fromLatin1(equalWidthFontFamily));
    font.setPixelSize(pixelSize);
    return font;
}

void SorvinLook::restyle(QWidget& widget, const QString& sheet) {
    if (widget.styleSheet() != sheet) widget.setStyleSheet(sheet);
}

} // namespace sorvin
