#pragma once

#include <QString>
#include <QTextDocument>

namespace sorvin {

// A tooltip that shows the text as it is. Qt reads a tooltip that looks like markup as rich text,
// so a file's metadata or a folder's name with tags in it would be laid out, or lose characters,
// instead of being shown.
inline QString plainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace sorvin
