#pragma once

#include "platform/folder_panel.hpp"

#include <QFileIconProvider>

class QWidget;

namespace sorvin {

// The folder chooser: Qt's own modal dialog, listing folders only; one existing folder, no new
// folders. It never looks into a file: its icons and types come from the kind of entry alone, so
// a slow or stalled disk costs the listing, never a read of each file to guess its type.
class QtFolderPanel final : public FolderPanel {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& startFolder) override;

    // A folder's or a file's icon and type, without reading the file.
    class EntryIcons final : public QFileIconProvider {
    public:
        using QFileIconProvider::icon;
        QIcon icon(const QFileInfo& info) const override;
        QString type(const QFileInfo& info) const override;
    };

private:
    QWidget* parent_ = nullptr;
    EntryIcons icons_;
};

} // namespace sorvin
