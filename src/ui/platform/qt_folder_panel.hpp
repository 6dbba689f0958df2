#pragma once

#include "platform/folder_panel.hpp"

class QWidget;

namespace sorvin {

// The folder chooser: Qt's modal directory dialog, one existing folder, no new folders.
class QtFolderPanel final : public FolderPanel {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& startFolder) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace sorvin
