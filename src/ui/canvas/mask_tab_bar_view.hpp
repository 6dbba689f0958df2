#pragma once

#include "canvas/mask_tab_bar_model.hpp"

#include <QColor>
#include <QWidget>

class QHBoxLayout;
class QPushButton;

namespace sorvin {

class AppState;
class MaskAdditionSheet;

// The strip above the photo: "全体" and one tab per mask of the current photo, the add-mask
// button and the image copy button. It also shows the mask addition sheet while the application
// state asks for it.
class MaskTabBarView : public QWidget {
public:
    explicit MaskTabBarView(AppState& state, QWidget* parent = nullptr);
    ~MaskTabBarView() override;

    static QColor color(std::string_view hex);

    void refresh();
    const MaskTabBarModel& model() const { return model_; }
    QList<QPushButton*> tabButtons() const { return tabs_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* copyButton() const { return copy_; }
    MaskAdditionSheet* sheet() const { return sheet_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void presentSheet();

    AppState& state_;
    MaskTabBarModel model_;
    QHBoxLayout* tabRow_;
    QList<QPushButton*> tabs_;
    QPushButton* add_;
    QPushButton* copy_;
    MaskAdditionSheet* sheet_ = nullptr;
};

} // namespace sorvin
