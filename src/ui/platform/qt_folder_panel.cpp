#include "ui/platform/qt_folder_panel.hpp"

#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_mount_watch.hpp"

#include <QDir>
#include <memory>

namespace sorvin {

std::optional<std::filesystem::path> QtFolderPanel::chooseFolder(const std::filesystem::path& startFolder) {
    return choose(startFolder, FolderChooserOptions{});
}

std::optional<std::filesystem::path> QtFolderPanel::chooseExportDestination(const std::filesystem::path& startFolder) {
    FolderChooserOptions options;
    options.message = QStringLiteral("ハートを付けた写真の書き出し先を選んでください");
    options.acceptLabel = QStringLiteral("ここに書き出す");
    return choose(startFolder.empty() ? std::filesystem::path(QDir::homePath().toStdString()) : startFolder, options);
}

std::optional<std::filesystem::path> QtFolderPanel::choose(const std::filesystem::path& startFolder,
                                                           const FolderChooserOptions& options) {
    std::unique_ptr<QtMountWatch> systemMounts;
    if (!mounts_) systemMounts = std::make_unique<QtMountWatch>();
    FolderChooserDialog dialog(parent_, probe_, mounts_ ? mounts_ : systemMounts.get(), QDir::homePath().toStdString(),
                               startFolder, options);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosen();
}

} // namespace sorvin
