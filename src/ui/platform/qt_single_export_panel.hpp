#pragma once

#include "app/single_export_panel.hpp"

#include <QPointer>
#include <filesystem>
#include <functional>
#include <optional>

class QFileDialog;
class QRadioButton;
class QWidget;

namespace sorvin {

// The save panel of a one-photo export: Qt's file dialog as a window-modal sheet, with the
// "保存形式:" JPEG/HEIF choice under it. Choosing a format changes the file filter and the
// extension of the typed name.
class QtSingleExportPanel final : public SingleExportPanel {
public:
    // Whether a typed path is a folder, answered on the main thread (none: no answer in time).
    using FolderCheck =
        std::function<void(const std::filesystem::path&, std::function<void(std::optional<bool>)> answered)>;

    void setParent(QWidget* parent) { parent_ = parent; }
    // A check of the test's; the disk is asked in the background otherwise.
    void setFolderCheck(FolderCheck check) { folderCheck_ = std::move(check); }
    void present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                 Completion completion) override;

    // The open panel and its two format buttons, while it is open.
    QFileDialog* activeDialog() const;
    QRadioButton* formatButton(SingleExportFormat format) const;

private:
    QWidget* parent_ = nullptr;
    QPointer<QFileDialog> dialog_;
    FolderCheck folderCheck_;
};

} // namespace sorvin
