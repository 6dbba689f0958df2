#pragma once

#include "platform/folder_panel.hpp"
#include "platform/folder_probe.hpp"

#include <memory>

class QWidget;

namespace sorvin {

class MountWatch;
struct FolderChooserOptions;

// The folder chooser of the program (FolderChooserDialog), modal over the main window: one
// existing folder, no files, no new folders. The disk is asked through a probe that lives as long
// as the panel, so a path that stopped answering holds one worker however often it is shown.
class QtFolderPanel final : public FolderPanel {
public:
    // The executor runs the questions to the disk; nobody may wait for them (StallTolerantExecutor).
    // The disk is the file system's unless a test stands in for a slow one.
    QtFolderPanel(MainQueue& mainQueue, BackgroundExecutor& executor, std::shared_ptr<const FolderProbeDisk> disk = {})
        : probe_(mainQueue, executor, std::move(disk)) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // The mounts the places follow; the system's, watched while the dialog is up, unless a test
    // gives its own.
    void setMountWatch(MountWatch* mounts) { mounts_ = mounts; }
    std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& startFolder) override;
    std::optional<std::filesystem::path> chooseExportDestination(const std::filesystem::path& startFolder) override;

private:
    std::optional<std::filesystem::path> choose(const std::filesystem::path& startFolder,
                                                const FolderChooserOptions& options);

    QWidget* parent_ = nullptr;
    MountWatch* mounts_ = nullptr;
    FolderProbe probe_;
};

} // namespace sorvin
