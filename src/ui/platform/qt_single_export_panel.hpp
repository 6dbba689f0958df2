#pragma once

#include "app/single_export_panel.hpp"
#include "platform/folder_probe.hpp"

#include <QPointer>
#include <filesystem>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace sorvin {

class FolderChooserDialog;
class MountWatch;

// The save panel of a one-photo export: the program's folder chooser listing files as well, a
// name field, and the "保存形式:" JPEG/HEIF choice, as a window-modal sheet. Choosing a format
// changes the extension of the typed name. Whatever it asks the disk (the listing, a typed folder,
// a file to be replaced) goes through the probe, off the main thread and with a time limit.
class QtSingleExportPanel final : public SingleExportPanel {
public:
    // The executor runs the questions to the disk; nobody may wait for them (StallTolerantExecutor).
    // The disk is the file system's unless a test stands in for a slow one.
    QtSingleExportPanel(MainQueue& mainQueue, BackgroundExecutor& executor, std::shared_ptr<const FolderProbeDisk> disk = {})
        : probe_(mainQueue, executor, std::move(disk)) {}

    void setParent(QWidget* parent) { parent_ = parent; }
    // The mounts the places follow; the system's unless a test gives its own.
    void setMountWatch(MountWatch* mounts) { mounts_ = mounts; }
    void present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                 Completion completion) override;

    // The open panel, its name field, the line that says why a name is refused, and its two
    // format buttons, while it is open.
    FolderChooserDialog* activeDialog() const;
    QLineEdit* nameField() const;
    QLabel* problemLabel() const;
    QRadioButton* formatButton(SingleExportFormat format) const;

private:
    QWidget* parent_ = nullptr;
    MountWatch* mounts_ = nullptr;
    FolderProbe probe_;
    QPointer<FolderChooserDialog> dialog_;
};

} // namespace sorvin
