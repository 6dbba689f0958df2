#pragma once

#include "ui/platform/folder_chooser_dialog.hpp"

#include <QModelIndex>
#include <QString>

namespace sorvin::test {

// The type column of the row named so in a folder chooser, empty when no such row is shown.
inline QString typeOf(const FolderChooserDialog& dialog, const QString& name) {
    const QModelIndex found = dialog.rowNamed(name);
    return found.isValid() ? found.siblingAtColumn(1).data().toString() : QString();
}

} // namespace sorvin::test
