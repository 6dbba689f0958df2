#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QToolButton;

namespace sorvin {

class AppDelegate;
class AppSettings;
struct PacingSetting;

// The settings window: the two input-pacing preferences with a button that restores them, the
// version, the update check and the release notes. Values are written as the sliders move, so the
// program uses them at once. Esc and Ctrl+W close it.
class SettingsView : public QWidget {
public:
    static constexpr int kWidth = 560;
    static constexpr int kMaximumHeight = 600;

    SettingsView(AppSettings& settings, AppDelegate& delegate, QWidget* parent = nullptr);

    QSlider* holdAdvanceRateSlider() const { return rows_[0].slider; }
    QSlider* scrollPointsPerStepSlider() const { return rows_[1].slider; }
    QLabel* holdAdvanceRateText() const { return rows_[0].value; }
    QPushButton* restoreDefaultsButton() const { return restore_; }
    QPushButton* checkForUpdatesButton() const { return check_; }
    QToolButton* releaseNotesToggle() const { return notesToggle_; }
    QWidget* releaseNotes() const { return notes_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        const PacingSetting* setting = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        int shown = 0;
    };
    QWidget* settingRow(Row& row, QWidget* parent);
    void showValue(Row& row, int value);
    void fitHeight();

    AppSettings& settings_;
    AppDelegate& delegate_;
    Row rows_[2];
    QPushButton* restore_ = nullptr;
    QPushButton* check_ = nullptr;
    QToolButton* notesToggle_ = nullptr;
    QWidget* notes_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* form_ = nullptr;
};

} // namespace sorvin
