#pragma once

#include <QDialog>

namespace sorvin {

class AppState;

// The sheet that lists the mask kinds; choosing one appends a mask of that kind to the photo.
class MaskAdditionSheet : public QDialog {
public:
    MaskAdditionSheet(AppState& state, QWidget* parent);

    // Closes the sheet without adding a mask (the cancel button, Escape).
    void reject() override;

private:
    AppState& state_;
};

} // namespace sorvin
