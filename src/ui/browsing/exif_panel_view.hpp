#pragma once

#include "shell/exif_panel_model.hpp"

#include <QScrollArea>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace sorvin {

class AppState;
class HistogramGraphView;

// The right panel: the EXIF values of the photo shown in four groups with their copy checkboxes,
// the copy button, and the histogram with its clipping figures.
class ExifPanelView : public QScrollArea {
public:
    ExifPanelView(AppState& state, QWidget* parent);

    void refresh();
    // The width the screen shows the panel at: the user's, or less on a small screen.
    void setPanelWidth(double width);

    QPushButton* copyButton() const { return copy_; }
    const ExifPanelModel& model() const { return model_; }
    QCheckBox* checkbox(ExifCopyField field) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The widgets of one row of the layout, shown while the model has the row.
    struct RowWidgets {
        ExifCopyField field;
        QWidget* line;
        QLabel* name;
        QLabel* value;
        QLabel* badge;
        QCheckBox* box;
    };

    void buildRows();
    void fillRows();

    AppState& state_;
    ExifPanelModel model_;
    ExifPanelScrollResetID scrollID_;
    double panelWidth_;
    QWidget* content_;
    QVBoxLayout* rows_;
    QPushButton* copy_;
    HistogramGraphView* graph_;
    QLabel* clipping_;
    // By group, in the layout's order.
    std::vector<std::vector<RowWidgets>> rowWidgets_;
    std::vector<std::vector<ExifPanelRow>> shownGroups_;
    bool shownOnce_ = false;
};

} // namespace sorvin
