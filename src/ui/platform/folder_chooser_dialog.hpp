#pragma once

#include "shell/folder_chooser_model.hpp"
#include "ui/platform/once_per_turn.hpp"

#include <QDialog>
#include <QModelIndex>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeView;
class QVBoxLayout;

namespace sorvin {

class FolderRowsModel;
class MountWatch;

// What a folder chooser is for: its title, the line above it, its accept button, and whether it
// lists files beside the folders (the save panel does).
struct FolderChooserOptions {
    QString title = QStringLiteral("フォルダを選ぶ");
    QString message;
    QString acceptLabel = QStringLiteral("選択");
    bool listsFiles = false;
};

// The folder chooser: a path field, the entries of the folder shown, the places to start from
// (the mounted cards, drives and shares among them, as they come and go), キャンセル and the
// accept button. It asks the disk nothing itself: its model asks through the probe, off the main
// thread, so a share that stopped answering never holds the window, nor its closing. Closing it
// drops every question it asked: an answer that comes later changes nothing.
//
// Keys: Return in the path field takes the folder it stands for (a typed one is opened first);
// Return on a row or a place opens it; Backspace outside a text field and Alt+Up go up.
class FolderChooserDialog final : public QDialog {
    Q_OBJECT
public:
    FolderChooserDialog(QWidget* parent, FolderProbe& probe, MountWatch* mounts, const std::filesystem::path& home,
                        const std::filesystem::path& start, FolderChooserOptions options = {});
    ~FolderChooserDialog() override;

    // The folder taken with the accept button or Return; none until then.
    const std::optional<std::filesystem::path>& chosen() const { return chosen_; }

    // For a dialog that takes more than a folder (the save panel): rows of its own above the
    // buttons, and what accepting does instead of taking the folder the field stands for.
    void addRow(QWidget* row);
    void setAcceptAction(std::function<void()> action);
    // Called when the user chooses a file of the list.
    void setFileChosen(std::function<void(const std::string& name)> chosen) { fileChosen_ = std::move(chosen); }
    FolderChooserModel& model() { return model_; }

    QLineEdit* pathField() const { return field_; }
    QTreeView* folderList() const { return list_; }
    // The row named so in the list, if it is shown.
    QModelIndex rowNamed(const QString& name) const;
    QListWidget* placeList() const { return places_; }
    QToolButton* upButton() const { return up_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* statusLabel() const { return status_; }

    void done(int result) override;

private:
    void stopWatchingMounts();
    void refresh();
    void showRows();
    void showAnsweredRows();
    void showSelection();
    void showPlaces();
    void rowChosen();
    void acceptNow();

    FolderChooserModel model_;
    OncePerTurn refresh_;
    MountWatch* mounts_;
    bool listsFiles_;
    QToolButton* up_;
    QLineEdit* field_;
    QListWidget* places_;
    QTreeView* list_;
    FolderRowsModel* rows_;
    QLabel* status_;
    QPushButton* cancel_;
    QPushButton* choose_;
    QVBoxLayout* column_ = nullptr;
    // While the list is brought in line with the model, its selection reports nothing.
    bool showingRows_ = false;
    // The entries that answered since their rows were last shown: shown together a moment later,
    // so that the list is laid out again a few times a second, not once for each answer.
    std::vector<std::size_t> answeredRows_;
    QTimer* answeredRowsTimer_;
    std::vector<FolderChooserModel::Place> placesShown_;
    std::function<void()> acceptAction_;
    std::function<void(const std::string&)> fileChosen_;
    std::optional<std::filesystem::path> chosen_;
};

} // namespace sorvin
