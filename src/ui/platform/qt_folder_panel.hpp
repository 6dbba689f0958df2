#pragma once

#include "platform/folder_panel.hpp"
#include "platform/folder_probe.hpp"

class QWidget;

namespace sorvin {

// The folder chooser of the program (FolderChooserDialog), modal over the main window: one
// existing folder, no files, no new folders. The disk is asked through a probe that lives as long
// as the panel, so a path that stopped answering holds one worker however often it is shown.
class QtFolderPanel final : public FolderPanel {
public:
    // The executor runs the questions to the disk; nobody may wait for them (DetachedThreadExecutor).
    QtFolderPanel(MainQueue& mainQueue, BackgroundExecutor& executor) : probe_(mainQueue, executor) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& startFolder) override;

private:
    QWidget* parent_ = nullptr;
    FolderProbe probe_;
};

} // namespace sorvin
