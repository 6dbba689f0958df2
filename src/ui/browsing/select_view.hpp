#pragma once

#include "shell/adjustment_input_focus.hpp"
#include "shell/hold_advance_repeater.hpp"
#include "shell/key_dispatcher.hpp"

#include <QWidget>
#include <memory>

class QDialog;
class QLabel;

namespace sorvin {

class AppState;
class KeyEventMonitor;
class MainQueue;
class ParameterPanelView;
class RatioBarView;
class SignalAdapter;

// The browsing screen. For now it shows the current photo's name; it owns the keyboard of the
// screen: the key dispatcher, the hold-to-advance repeater and the key monitor, which lives exactly
// while the screen is shown.
class SelectView : public QWidget {
public:
    SelectView(AppState& state, MainQueue& mainQueue, QWidget* parent = nullptr);
    ~SelectView() override;

    // Reads the library again (after the state changed or replaced it).
    void refresh();
    // Forgets held keys, stops hold-to-advance and ends what a held modifier shows.
    void resetKeyboard();

    // What the dispatcher decides for one key; the monitor calls it.
    bool handle(const KeyEvent& event);
    void modifiersChanged(AdjustmentKeyModifiers flags);

    QString shownName() const;
    const HoldAdvanceRepeater& repeater() const { return repeater_; }
    const KeyDispatcher& dispatcher() const { return dispatcher_; }
    ParameterPanelView* parameterPanel() const { return panel_; }
    RatioBarView* ratioBar() const { return ratioBar_; }
    QDialog* presetSheet() const { return presetSheet_; }
    // The numeric field of the screen that holds the keyboard, shared by the panel and the bar.
    AdjustmentInputFocus& inputFocus() { return inputFocus_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    AppState& state_;
    KeyDispatcher dispatcher_;
    HoldAdvanceRepeater repeater_;
    QLabel* name_;
    std::unique_ptr<KeyEventMonitor> monitor_;
    AdjustmentInputFocus inputFocus_;
    Signal<std::optional<AdjustmentInputField>>::Connection focusConnection_;
    // Made before the bar: on a photo change the panel drops its typed text first.
    ParameterPanelView* panel_;
    RatioBarView* ratioBar_;
    QDialog* presetSheet_ = nullptr;
    SignalAdapter* sheetAdapter_ = nullptr;

    void presentSheets();
};

} // namespace sorvin
