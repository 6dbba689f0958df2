#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QSlider;

namespace sorvin {

class AppState;

// The last row of the browsing screen: filter button and position slider, counter, loupe and
// export buttons. The loupe and export buttons and the slider's release end typed input first.
class BottomBarView : public QWidget {
public:
    using FinishInputThen = std::function<void(std::function<void()>)>;

    BottomBarView(AppState& state, FinishInputThen finishInputThen, QWidget* parent);

    void refresh();
    // Puts the slider's knob on the cursor; the screen calls it when it appears, when the cursor
    // moves and when the filter changes, and leaves the knob alone otherwise (while it is dragged).
    void followCursor();

    QPushButton* filterButton() const { return filter_; }
    QPushButton* loupeButton() const { return loupe_; }
    QPushButton* singleExportButton() const { return singleExport_; }
    QPushButton* batchExportButton() const { return batchExport_; }
    QSlider* slider() const { return slider_; }
    QString counterText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppState& state_;
    FinishInputThen finishInputThen_;
    QPushButton* filter_;
    QSlider* slider_;
    QLabel* counter_;
    QPushButton* loupe_;
    QPushButton* singleExport_;
    QPushButton* batchExport_;
};

} // namespace sorvin
