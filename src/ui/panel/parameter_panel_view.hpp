#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/retouch_slot.hpp"
#include "panel/parameter_panel_vertical_metrics.hpp"
#include "panel/parameter_value_entry.hpp"
#include "ui/platform/once_per_turn.hpp"

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;

namespace sorvin {

class AppState;
class DimmingVeil;
class PanelButton;
class ParameterSlotColumnView;
class ToneCurveGraphView;

// The development panel at the foot of the photo column: the number row (curve channels, geometry,
// the edited mask's deletion), the tab row with its toolbar (presets, copy and paste, JPEG/RAW),
// ten slot columns and, on a curve page, the tone curve graph. It keeps only what is being typed
// and an open deletion question; everything else is read from the application state.
class ParameterPanelView : public QWidget {
public:
    ParameterPanelView(AppState& state, AdjustmentInputFocus& focus, QWidget* parent = nullptr);
    ~ParameterPanelView() override;

    void setHeldKeys(const std::set<std::uint16_t>& keys);
    // Reads the state and the library again.
    void refresh();

    // For tests and the screen.
    ParameterSlotColumnView* column(int index) const { return columns_[static_cast<std::size_t>(index)]; }
    const std::vector<PanelButton*>& tabs() const { return tabButtons_; }
    PanelButton* presetButton() const { return presetButton_; }
    PanelButton* clipboardButton(int index) const {
        return clipboardButtons_[static_cast<std::size_t>(index)];
    }
    PanelButton* sourceButton(int index) const { return sourceButtons_[static_cast<std::size_t>(index)]; }
    ToneCurveGraphView* curveGraph() const { return graph_; }
    // Builds the preset menu as a click would, without showing it.
    std::vector<QString> presetMenuTitles() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutRows();
    void refreshNumberRow();
    void refreshTabs();
    void refreshToolbar();
    void refreshSlots();
    // The RAW white balance reads in kelvin once the development of its value is cached, which
    // a new image of the loader may tell: the slots are read again when that reading changed.
    void followRawDevelopment();
    // The slot row is as wide as the columns the page shows.
    void sizeSlotRow();
    void contextCheck();
    // Releases a focused value field (which commits it) and runs the action on the next turn.
    void afterReleasingFocus(std::function<void()> action);
    void showPresetMenu();

    AppState& state_;
    AdjustmentInputFocus& focus_;
    ParameterValueEntry entry_;
    ParameterPanelVerticalMetrics metrics_;
    std::set<std::uint16_t> heldKeys_;
    std::optional<int> confirmingMaskDeletionIndex_;
    // The photo, copy and edit target the typed text belongs to.
    std::optional<std::string> contextPath_;
    RetouchSlot contextSlot_ = RetouchSlot::a;
    ParameterEditTarget contextTarget_;

    QWidget* numberRow_;
    std::array<PanelButton*, 5> numberButtons_{};
    PanelButton* maskDeleteButton_;
    QWidget* maskConfirmation_;
    QLabel* maskQuestion_;
    QScrollArea* tabScroll_;
    QWidget* tabContainer_;
    std::vector<PanelButton*> tabButtons_;
    QWidget* toolbar_;
    PanelButton* presetButton_;
    std::array<PanelButton*, 2> clipboardButtons_{};
    std::array<PanelButton*, 2> sourceButtons_{};
    QScrollArea* slotScroll_;
    QWidget* slotContainer_;
    std::array<ParameterSlotColumnView*, 10> columns_{};
    std::size_t shownColumns_ = 0;
    // Whether a column shows the RAW white balance, and the neutral temperature it was shown with.
    bool showsRawTemperature_ = false;
    std::optional<float> shownNeutralTemperature_;
    OncePerTurn followRawDevelopmentLater_{this, [this] { followRawDevelopment(); }};
    ToneCurveGraphView* graph_;
    DimmingVeil* veil_;
};

} // namespace sorvin
