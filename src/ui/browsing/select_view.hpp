#pragma once

#include "shell/hold_advance_repeater.hpp"
#include "shell/key_dispatcher.hpp"
#include "ui/platform/once_per_turn.hpp"
#include "view/adjustment_input_focus.hpp"

#include <QWidget>
#include <functional>
#include <memory>

class QDialog;
class QLabel;

namespace sorvin {

class AppState;
class BottomBarView;
class CommandCheatSheetView;
class ExportSheet;
class ExifPanelView;
class FileListPanel;
class KeyEventMonitor;
class MaskTabBarView;
class MainQueue;
class PanelCollapseButton;
class PanelResizeHandle;
class ParameterPanelView;
class RatioBarView;
class SignalAdapter;
class TopBarView;

// The browsing screen: top bar, file list, the photo column (mask tabs, photo area, bottom panel),
// the EXIF and histogram panel and the bottom bar. It owns the keyboard of the screen: the key
// dispatcher, the hold-to-advance repeater and the key monitor, which lives exactly while the
// screen is shown. Every element reads the application state and calls its operations.
class SelectView : public QWidget {
public:
    SelectView(AppState& state, MainQueue& mainQueue, QWidget* parent = nullptr);
    ~SelectView() override;

    // Reads the state and the library again.
    void refresh();
    // The same once the current event is handled; many requests make one.
    void scheduleRefresh();
    // Forgets held keys, stops hold-to-advance and ends what a held modifier shows.
    void resetKeyboard();

    // What the dispatcher decides for one key; the monitor calls it.
    bool handle(const KeyEvent& event);
    void modifiersChanged(AdjustmentKeyModifiers flags);

    // Ends typed input, then runs the action (deferred to the main queue when a field had focus).
    void finishInputThen(std::function<void()> action);
    void clearInputFocus();

    QString shownName() const;
    const HoldAdvanceRepeater& repeater() const { return repeater_; }
    const KeyDispatcher& dispatcher() const { return dispatcher_; }
    FileListPanel* fileList() const { return fileList_; }
    ExifPanelView* exifPanel() const { return exifPanel_; }
    BottomBarView* bottomBar() const { return bottomBar_; }
    TopBarView* topBar() const { return topBar_; }
    // The line under the top bar that says where the record goes, or that nothing is saved.
    QLabel* warningLine() const { return warningLine_; }
    MaskTabBarView* maskTabs() const { return maskTabs_; }
    QWidget* photoCanvas() const { return canvas_; }
    // The sheet shown over the photo or in the bottom panel; none while hidden.
    CommandCheatSheetView* visibleCheatSheet() const;
    QWidget* bottomPanel() const { return bottomPanel_; }
    ParameterPanelView* parameterPanel() const { return panel_; }
    RatioBarView* ratioBar() const { return ratioBar_; }
    QDialog* presetSheet() const { return presetSheet_; }
    ExportSheet* exportSheet() const { return exportSheet_; }
    // The numeric field of the screen that holds the keyboard, shared by the panel and the bar.
    AdjustmentInputFocus& inputFocus() { return inputFocus_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The panels at the sizes the user gave, or smaller where the window has no room for them.
    void fitPanels();
    void placeOverlays();
    void cursorMaybeMoved();
    void presentSheets();
    void clearHeldKeys();
    void focusChanged(bool focused);

    AppState& state_;
    MainQueue& mainQueue_;
    KeyDispatcher dispatcher_;
    HoldAdvanceRepeater repeater_;
    std::unique_ptr<KeyEventMonitor> monitor_;
    AdjustmentInputFocus inputFocus_;
    Signal<std::optional<AdjustmentInputField>>::Connection focusConnection_;
    OncePerTurn refreshLater_{this, [this] { refresh(); }};

    TopBarView* topBar_;
    QLabel* warningLine_;
    FileListPanel* fileList_;
    QWidget* photoColumn_;
    MaskTabBarView* maskTabs_;
    QWidget* photoArea_;
    QWidget* canvas_;
    CommandCheatSheetView* photoCheatSheet_;
    QWidget* bottomPanel_;
    // Made before the bar: on a photo change the panel drops its typed text first.
    ParameterPanelView* panel_;
    RatioBarView* ratioBar_;
    QDialog* presetSheet_ = nullptr;
    ExportSheet* exportSheet_ = nullptr;
    SignalAdapter* sheetAdapter_ = nullptr;
    CommandCheatSheetView* panelCheatSheet_;
    PanelResizeHandle* bottomHandle_;
    PanelCollapseButton* hideBottom_;
    PanelCollapseButton* showBottom_;
    PanelCollapseButton* showRight_;
    QWidget* rightPanel_;
    ExifPanelView* exifPanel_;
    PanelResizeHandle* rightHandle_;
    PanelCollapseButton* hideRight_;
    BottomBarView* bottomBar_;

    // What the screen last saw of the cursor, to keep the slider in step and clear held keys.
    int shownCursorIndex_ = -1;
    bool shownFiltered_ = false;
    std::string shownPath_;
    int shownSlot_ = -1;
    std::shared_ptr<SelectView*> self_ = std::make_shared<SelectView*>(this);
};

} // namespace sorvin
