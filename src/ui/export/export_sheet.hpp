#pragma once

#include "export/export_sheet_model.hpp"

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;
class QWidget;

namespace sorvin {

class AppState;
class BackgroundExecutor;
class MainQueue;

// The modal sheet that exports every hearted photo of the open folder: the settings, then the
// progress of the running export with its cancel button, then the result. A new sheet (and a new
// cancellation token) for each presentation; it closes by clearing the state's flag.
class ExportSheet : public QDialog {
public:
    using FolderChooser =
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path& start)>;

    ExportSheet(AppState& state, MainQueue& mainQueue, BackgroundExecutor& executor, QWidget* parent);
    ~ExportSheet() override;

    const ExportSheetModel& model() const { return model_; }

    // "選ぶ…": the folder panel, replaceable so that tests answer for the user.
    void setFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }
    void chooseDestination();
    // "書き出す": checks the destination in the background, then starts the export.
    void startExport();

    QLineEdit* destinationField() const { return destination_; }
    // The line under the destination: why it was refused, or that it is being checked.
    QLabel* validationLabel() const { return validation_; }
    QRadioButton* keepFormatButton() const { return keepFormat_; }
    QRadioButton* specifyFormatButton() const { return specifyFormat_; }
    QCheckBox* jpegBox() const { return jpeg_; }
    QCheckBox* heifBox() const { return heif_; }
    QCheckBox* splitFoldersBox() const { return split_; }
    QRadioButton* specifyLongEdgeButton() const { return specifyLongEdge_; }
    QLineEdit* longEdgeField() const { return longEdge_; }
    QCheckBox* saveOriginalsBox() const { return originals_; }
    QLabel* formatNoticeLabel() const { return formatNotice_; }
    QLabel* targetLabel() const { return target_; }
    QLabel* targetNoticesLabel() const { return targetNotices_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* cancelButton() const { return cancelSettings_; }
    QLabel* copyingTitleLabel() const { return copyingTitle_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* progressLabel() const { return progressText_; }
    // Under the copying and result stages: the mounts inside the photo folder that could not be
    // asked whether they show the destination.
    QLabel* uncheckedMountsLabel() const { return uncheckedMounts_; }
    QPushButton* stopButton() const { return stop_; }
    // The result stage's texts, top to bottom, and its failure list.
    QStringList resultTexts() const;
    QStringList failureTexts() const;
    QPushButton* openDestinationButton() const { return openDestination_; }
    QPushButton* closeButton() const { return close_; }

    // Esc closes the settings and the result, never a running export.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSettings();
    QWidget* buildCopying();
    QWidget* buildResult();
    void refresh();
    void showStage(int index);
    void showResult();
    void destinationChecked(ExportRequest request, ExportSheetModel::DestinationCheck check);

    AppState& state_;
    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    ExportSheetModel model_;
    FolderChooser chooser_;

    QStackedWidget* stages_ = nullptr;
    QScrollArea* settingsScroll_ = nullptr;
    QWidget* settingsRows_ = nullptr;
    int tallestRows_ = 0; // while the sheet is up
    QLineEdit* destination_ = nullptr;
    QLabel* validation_ = nullptr;
    QRadioButton* keepFormat_ = nullptr;
    QRadioButton* specifyFormat_ = nullptr;
    QWidget* formatChoices_ = nullptr;
    QCheckBox* jpeg_ = nullptr;
    QCheckBox* heif_ = nullptr;
    QCheckBox* split_ = nullptr;
    QLabel* formatNotice_ = nullptr;
    QRadioButton* specifyLongEdge_ = nullptr;
    QWidget* longEdgeRow_ = nullptr;
    QLineEdit* longEdge_ = nullptr;
    QCheckBox* originals_ = nullptr;
    QLabel* target_ = nullptr;
    QLabel* targetNotices_ = nullptr;
    QPushButton* cancelSettings_ = nullptr;
    QPushButton* export_ = nullptr;

    QProgressBar* progress_ = nullptr;
    QLabel* copyingTitle_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* uncheckedMounts_ = nullptr;
    QPushButton* stop_ = nullptr;

    QWidget* resultPage_ = nullptr;
    QVBoxLayout* resultRows_ = nullptr;
    QWidget* failureList_ = nullptr;
    QPushButton* openDestination_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace sorvin
