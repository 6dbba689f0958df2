#pragma once

#include "shell/folder_chooser_model.hpp"
#include "ui/platform/once_per_turn.hpp"

#include <QDialog>
#include <filesystem>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace sorvin {

// The folder chooser: a path field, the subfolders of the folder shown, the places to start from,
// キャンセル and 選択. It asks the disk nothing itself: its model asks through the probe, off the
// main thread, so a share that stopped answering never holds the window, nor its closing.
class FolderChooserDialog final : public QDialog {
    Q_OBJECT
public:
    FolderChooserDialog(QWidget* parent, FolderProbe& probe, const std::filesystem::path& home,
                        const std::filesystem::path& start);

    // The folder taken with 選択; none until then.
    const std::optional<std::filesystem::path>& chosen() const { return chosen_; }

    QLineEdit* pathField() const { return field_; }
    QTreeWidget* folderList() const { return list_; }
    QListWidget* placeList() const { return places_; }
    QToolButton* upButton() const { return up_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* statusLabel() const { return status_; }

private:
    void refresh();
    void showRows();

    FolderChooserModel model_;
    OncePerTurn refresh_;
    QToolButton* up_;
    QLineEdit* field_;
    QListWidget* places_;
    QTreeWidget* list_;
    QLabel* status_;
    QPushButton* cancel_;
    QPushButton* choose_;
    std::vector<FolderChooserModel::Row> rowsShown_;
    std::filesystem::path rowsFolder_;
    std::optional<std::filesystem::path> chosen_;
};

} // namespace sorvin
