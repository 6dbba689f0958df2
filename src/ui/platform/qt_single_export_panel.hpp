#pragma once

#include "app/single_export_panel.hpp"

#include <QPointer>

class QFileDialog;
class QRadioButton;
class QWidget;

namespace sorvin {

// The save panel of a one-photo export: Qt's file dialog as a window-modal sheet, with the
// "保存形式:" JPEG/HEIF choice under it. Choosing a format changes the file filter and the
// extension of the typed name.
class QtSingleExportPanel final : public SingleExportPanel {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                 Completion completion) override;

    // The open panel and its two format buttons, while it is open.
    QFileDialog* activeDialog() const;
    QRadioButton* formatButton(SingleExportFormat format) const;

private:
    QWidget* parent_ = nullptr;
    QPointer<QFileDialog> dialog_;
};

} // namespace sorvin
