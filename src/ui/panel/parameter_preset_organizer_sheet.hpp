#pragma once

#include "panel/parameter_preset_organizer_model.hpp"

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace sorvin {

class AppState;
class ElidedLabel;

// The sheet that renames, reorders and deletes presets.
class ParameterPresetOrganizerSheet : public QDialog {
public:
    ParameterPresetOrganizerSheet(AppState& state, QWidget* parent);
    ~ParameterPresetOrganizerSheet() override;

    ParameterPresetOrganizerModel& model() { return model_; }
    QLineEdit* renameField() const { return renameField_; }
    // Redraws the list and the buttons from the model.
    void refresh();

public:
    // Esc.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A click on the sheet's background ends renaming.
    void mousePressEvent(QMouseEvent* event) override;

private:
    // What the rows were last built from.
    struct ShownRows {
        std::vector<std::string> names;
        ParameterPresetOrganizerModel::Mode mode;
        int modeIndex;
        int selectedIndex;
        friend bool operator==(const ShownRows&, const ShownRows&) = default;
    };
    void rebuildRows();

    class Host;
    std::unique_ptr<Host> host_;
    ParameterPresetOrganizerModel model_;
    QVBoxLayout* rows_;
    std::vector<QWidget*> rowWidgets_;
    std::optional<ShownRows> shownRows_;
    QLineEdit* renameField_ = nullptr;
    QWidget* normalActions_;
    QWidget* confirmation_;
    ElidedLabel* question_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* rename_;
    QPushButton* remove_;
    QPushButton* close_;
};

} // namespace sorvin
