#pragma once

#include "platform/folder_opener.hpp"

#include <QObject>

namespace sorvin {

// The folder in the desktop's file manager, through the desktop's own opener (xdg-open, else
// GLib's gio), run with its output discarded: whether it could show the folder is told by its exit
// status, never printed. A launcher still running when this goes is stopped; what it started
// stays open.
class QtFolderOpener final : public QObject, public FolderOpener {
public:
    QtFolderOpener() = default;
    ~QtFolderOpener() override;

    void open(const std::filesystem::path& folder, std::function<void(bool shown)> done) override;
};

} // namespace sorvin
