#include "ui/platform/qt_folder_panel.hpp"

#include <QFileDialog>

namespace sorvin {

QIcon QtFolderPanel::EntryIcons::icon(const QFileInfo& info) const {
    return icon(info.isDir() ? Folder : File);
}

QString QtFolderPanel::EntryIcons::type(const QFileInfo& info) const {
    return info.isDir() ? QStringLiteral("フォルダ") : QStringLiteral("ファイル");
}

std::optional<std::filesystem::path> QtFolderPanel::chooseFolder(const std::filesystem::path& startFolder) {
    QFileDialog dialog(parent_, QStringLiteral("フォルダを選ぶ"),
                       QString::fromStdString(startFolder.string()));
    // Qt's own dialog, whose listing runs in the background and whose icons are ours.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setIconProvider(&icons_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

} // namespace sorvin
