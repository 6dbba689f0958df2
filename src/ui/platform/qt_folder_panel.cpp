#include "ui/platform/qt_folder_panel.hpp"

#include "ui/platform/folder_chooser_dialog.hpp"

#include <QDir>

namespace sorvin {

std::optional<std::filesystem::path> QtFolderPanel::chooseFolder(const std::filesystem::path& startFolder) {
    FolderChooserDialog dialog(parent_, probe_, QDir::homePath().toStdString(), startFolder);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosen();
}

} // namespace sorvin
