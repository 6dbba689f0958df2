#include "ui/platform/qt_folder_panel.hpp"

#include <QFileDialog>

namespace sorvin {

std::optional<std::filesystem::path> QtFolderPanel::chooseFolder(const std::filesystem::path& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent_, QStringLiteral("フォルダを選ぶ"), QString::fromStdString(startFolder.string()),
        QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    if (folder.isEmpty()) return std::nullopt;
    return std::filesystem::path(folder.toStdString());
}

} // namespace sorvin
