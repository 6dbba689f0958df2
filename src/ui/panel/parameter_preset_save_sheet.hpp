#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sorvin {

class AppState;

// The sheet that names the current settings and saves them as a preset. It closes itself by
// clearing the state's flag, which the application state also does after a successful save.
class ParameterPresetSaveSheet : public QDialog {
public:
    ParameterPresetSaveSheet(AppState& state, QWidget* parent);

    QLineEdit* nameField() const { return name_; }
    QPushButton* saveButton() const { return save_; }
    QLabel* noticeLabel() const { return notice_; }
    void saveIfPossible();

public:
    // Esc and "キャンセル".
    void reject() override;

private:
    void refresh();

    AppState& state_;
    QLineEdit* name_;
    QLabel* notice_;
    QPushButton* save_;
};

} // namespace sorvin
