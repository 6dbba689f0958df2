#include "ui/browsing/select_view.hpp"

#include "app/app_state.hpp"
#include "panel/parameter_panel_vertical_metrics.hpp"
#include "platform/random_generator.hpp"
#include "shell/browsing_screen_model.hpp"
#include "shell/command_cheat_sheet.hpp"
#include "shell/shell_commands.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/command_cheat_sheet_view.hpp"
#include "ui/browsing/exif_panel_view.hpp"
#include "ui/browsing/file_list_panel.hpp"
#include "ui/browsing/key_event_monitor.hpp"
#include "ui/browsing/panel_collapse_button.hpp"
#include "ui/browsing/panel_resize_handle.hpp"
#include "ui/browsing/top_bar_view.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/overlays/sheet_host.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_preset_organizer_sheet.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui/platform/stacking_order.hpp"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>

namespace sorvin {

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

} // namespace

SelectView::SelectView(AppState& state, MainQueue& mainQueue, QWidget* parent)
    : QWidget(parent), state_(state), mainQueue_(mainQueue), repeater_(HoldAdvanceScheduler::live(mainQueue)),
      panel_(new ParameterPanelView(state, inputFocus_, this)),
      ratioBar_(new RatioBarView(state, inputFocus_, this)) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, toQColor(ViewPalette::background));
    setPalette(palette);

    auto* screen = new QVBoxLayout(this);
    screen->setContentsMargins(0, 0, 0, 0);
    screen->setSpacing(0);

    topBar_ = new TopBarView(this);
    screen->addWidget(topBar_);

    warningLine_ = new QLabel(this);
    warningLine_->setTextFormat(Qt::PlainText);
    warningLine_->setAlignment(Qt::AlignCenter);
    warningLine_->setFont(SorvinLook::font(13));
    warningLine_->setFixedHeight(static_cast<int>(BrowsingTopBar::kWarningHeight));
    warningLine_->setStyleSheet(
        QStringLiteral("color: white; background: %1;").arg(toQColor(ViewPalette::warningBackground).name()));
    screen->addWidget(warningLine_);
    screen->addWidget(ratioBar_);

    auto* mainRow = new QHBoxLayout;
    mainRow->setContentsMargins(0, 0, 0, 0);
    mainRow->setSpacing(0);
    fileList_ = new FileListPanel(
        state, mainQueue, [this] { clearInputFocus(); }, this);
    mainRow->addWidget(fileList_);

    // The photo column: mask tabs, photo area, bottom panel.
    photoColumn_ = new QWidget(this);
    auto* column = new QVBoxLayout(photoColumn_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    maskTabs_ = new MaskTabBarView(state, photoColumn_);
    column->addWidget(maskTabs_);
    photoArea_ = new QWidget(photoColumn_);
    auto* area = new QVBoxLayout(photoArea_);
    area->setContentsMargins(0, 0, 0, 0);
    canvas_ = new PhotoCanvasView(
        state, mainQueue, [this] { clearInputFocus(); }, photoArea_);
    area->addWidget(canvas_);
    photoCheatSheet_ = new CommandCheatSheetView(photoArea_);
    column->addWidget(photoArea_, 1);

    bottomPanel_ = new QWidget(photoColumn_);
    auto* panel = new QVBoxLayout(bottomPanel_);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(0);
    panel_->setParent(bottomPanel_);
    panel->addWidget(panel_, 0, Qt::AlignTop);
    panelCheatSheet_ = new CommandCheatSheetView(bottomPanel_);
    panel->addWidget(panelCheatSheet_);
    column->addWidget(bottomPanel_);
    mainRow->addWidget(photoColumn_, 1);

    bottomHandle_ = new PanelResizeHandle(
        PanelResizeAxis::bottomPanel, [this] { return double(bottomPanel_->height()); },
        [this](double value) { state_.setBottomPanelHeight(value); }, photoColumn_);
    hideBottom_ = new PanelCollapseButton(PanelCollapseButtons::hideBottom, photoColumn_);
    showBottom_ = new PanelCollapseButton(PanelCollapseButtons::showBottom, photoColumn_);
    showRight_ = new PanelCollapseButton(PanelCollapseButtons::showRight, photoColumn_);
    const auto toggleBottom = [this] { state_.setBottomPanelCollapsed(!state_.bottomPanelCollapsed()); };
    const auto toggleRight = [this] { state_.setRightPanelCollapsed(!state_.rightPanelCollapsed()); };
    connect(hideBottom_, &QAbstractButton::clicked, this, toggleBottom);
    connect(showBottom_, &QAbstractButton::clicked, this, toggleBottom);
    connect(showRight_, &QAbstractButton::clicked, this, toggleRight);

    rightPanel_ = new QWidget(this);
    auto* right = new QVBoxLayout(rightPanel_);
    right->setContentsMargins(0, 0, 0, 0);
    exifPanel_ = new ExifPanelView(state, rightPanel_);
    right->addWidget(exifPanel_);
    mainRow->addWidget(rightPanel_);
    rightHandle_ = new PanelResizeHandle(
        PanelResizeAxis::rightPanel, [this] { return double(rightPanel_->width()); },
        [this](double value) { state_.setRightPanelWidth(value); }, rightPanel_);
    // The hide button straddles the panel's edge, so it lives on the screen itself.
    hideRight_ = new PanelCollapseButton(PanelCollapseButtons::hideRight, this);
    connect(hideRight_, &QAbstractButton::clicked, this, toggleRight);
    screen->addLayout(mainRow, 1);

    bottomBar_ = new BottomBarView(
        state, [this](std::function<void()> action) { finishInputThen(std::move(action)); }, this);
    screen->addWidget(bottomBar_);

    // Keys go to a focused field instead of the screen's commands.
    focusConnection_ = inputFocus_.changed.connect(
        [this](const std::optional<AdjustmentInputField>& field) { focusChanged(field.has_value()); });
    sheetAdapter_ = new SignalAdapter(state.changed, this);
    connect(sheetAdapter_, &SignalAdapter::fired, this, [this] { presentSheets(); });

    photoColumn_->installEventFilter(this);
    rightPanel_->installEventFilter(this);
    photoArea_->installEventFilter(this);

    // Held keys end when the application or any of its windows loses the keyboard.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive && monitor_) resetKeyboard();
    });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) {
        if (monitor_) resetKeyboard();
    });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] {
        cursorMaybeMoved();
        scheduleRefresh();
    });
    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this, [this] {
        // The list lets go of a library the state let go of now, not at the refresh: the screen
        // may be shown, and the list asked for its rows, before then.
        fileList_->followLibrary();
        // A sheet or panel coming up ends a walk through the photos and any typed input.
        if (state_.isModalExportPresented()) {
            inputFocus_.clear();
            repeater_.stop();
        }
        scheduleRefresh();
    });
    connect(new SignalAdapter(state.exifLoader().changed, this), &SignalAdapter::fired, this,
            [this] { scheduleRefresh(); });
    connect(new SignalAdapter(state.histogramLoader().changed, this), &SignalAdapter::fired, this,
            [this] { scheduleRefresh(); });
    refresh();
    presentSheets();
}

SelectView::~SelectView() {
    // The panels may still tell the state about the keyboard as they go; nothing here listens then.
    delete sheetAdapter_;
    focusConnection_.disconnect();
    delete presetSheet_;
    delete exportSheet_;
    delete ratioBar_;
    delete panel_;
}

void SelectView::presentSheets() {
    const bool save = state_.isPresetSavePresented();
    const bool organize = state_.isPresetOrganizerPresented();
    const bool wanted = save || organize;
    const bool matches =
        presetSheet_ && ((save && dynamic_cast<ParameterPresetSaveSheet*>(presetSheet_)) ||
                         (organize && dynamic_cast<ParameterPresetOrganizerSheet*>(presetSheet_)));
    if (presetSheet_ && !matches) {
        QDialog* closing = presetSheet_;
        presetSheet_ = nullptr;
        closing->hide();
        closing->deleteLater();
    }
    if (wanted && !presetSheet_) {
        if (save)
            presetSheet_ = new ParameterPresetSaveSheet(state_, this);
        else
            presetSheet_ = new ParameterPresetOrganizerSheet(state_, this);
        SheetHost::present(*presetSheet_);
    } else if (organize && presetSheet_) {
        static_cast<ParameterPresetOrganizerSheet*>(presetSheet_)->refresh();
    }

    // A fresh export sheet, with fresh values and a fresh token, for every presentation.
    if (exportSheet_ && !state_.isExportPresented()) {
        ExportSheet* closing = exportSheet_;
        exportSheet_ = nullptr;
        closing->hide();
        closing->deleteLater();
    }
    if (state_.isExportPresented() && !exportSheet_) {
        exportSheet_ = new ExportSheet(state_, mainQueue_, state_.executor(), this);
        SheetHost::present(*exportSheet_);
    }
}

void SelectView::clearHeldKeys() {
    dispatcher_.resetKeyState();
    panel_->setHeldKeys({});
}

void SelectView::scheduleRefresh() {
    refreshLater_.request();
}

void SelectView::cursorMaybeMoved() {
    const PhotoLibrary* library = state_.library();
    const int cursor = library ? library->cursorIndex() : 0;
    const bool filtered = library && library->isFiltered();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    const std::string path = photo ? photo->relativePath : std::string();
    const int slot = library ? static_cast<int>(library->currentSlot()) : -1;
    if (cursor != shownCursorIndex_ || filtered != shownFiltered_) bottomBar_->followCursor();
    // A key held across a change of photo or copy must not go on adjusting the new one.
    if (cursor != shownCursorIndex_ || path != shownPath_ || slot != shownSlot_) clearHeldKeys();
    shownCursorIndex_ = cursor;
    shownFiltered_ = filtered;
    shownPath_ = path;
    shownSlot_ = slot;
}

void SelectView::refresh() {
    cursorMaybeMoved();
    topBar_->setBar(BrowsingTopBar::make(state_.library()));
    const auto warning = BrowsingTopBar::warningLine(state_.usesFallbackStore(), state_.recordProtection());
    if (warning) warningLine_->setText(text(*warning));
    warningLine_->setVisible(warning.has_value());
    fileList_->refresh();
    fitPanels();
    exifPanel_->refresh();
    bottomBar_->refresh();
    maskTabs_->refresh();

    const bool bottomCollapsed = state_.bottomPanelCollapsed();
    const bool rightCollapsed = state_.rightPanelCollapsed();
    const bool cheatSheet = state_.isCommandCheatSheetVisible();
    if (cheatSheet) {
        auto labels = CommandCheatSheet::visibleLabels(state_.settings().presetStore());
        photoCheatSheet_->setVisibleLabels(labels);
        panelCheatSheet_->setVisibleLabels(std::move(labels));
    }
    bottomPanel_->setVisible(!bottomCollapsed);
    panelCheatSheet_->setVisible(cheatSheet);
    panel_->setVisible(!cheatSheet);
    photoCheatSheet_->setVisible(bottomCollapsed && cheatSheet);
    rightPanel_->setVisible(!rightCollapsed);
    bottomHandle_->setVisible(!bottomCollapsed);
    hideBottom_->setVisible(!bottomCollapsed);
    showBottom_->setVisible(bottomCollapsed);
    showRight_->setVisible(rightCollapsed);
    hideRight_->setVisible(!rightCollapsed);
    placeOverlays();
}

void SelectView::fitPanels() {
    const double bottom = PanelFit::bottomPanelHeight(state_.bottomPanelHeight(),
                                                      photoColumn_->height() - maskTabs_->height());
    const double right = PanelFit::rightPanelWidth(state_.rightPanelWidth(), width() - fileList_->width());
    bottomPanel_->setFixedHeight(static_cast<int>(std::lround(bottom)));
    panel_->setFixedHeight(static_cast<int>(ParameterPanelVerticalMetrics::make(bottom).panelHeight));
    rightPanel_->setFixedWidth(static_cast<int>(std::lround(right)));
    exifPanel_->setPanelWidth(right);
}

void SelectView::placeOverlays() {
    const int handle = static_cast<int>(PanelResizeDrag::kHandleThickness);
    const int button = static_cast<int>(PanelCollapseButtons::kSize);
    const QRect column = photoColumn_->rect();
    photoCheatSheet_->setGeometry(photoArea_->rect());
    StackingOrder::keepOnTop({photoCheatSheet_});
    if (bottomPanel_->isVisibleTo(this)) {
        const int top = bottomPanel_->geometry().top();
        bottomHandle_->setGeometry(0, top, column.width(), handle);
        hideBottom_->move((column.width() - button) / 2, top - 6);
    }
    showBottom_->move((column.width() - button) / 2, column.height() - button - 4);
    showRight_->move(column.width() - button - 4, (column.height() - button) / 2);
    StackingOrder::keepOnTop({bottomHandle_, hideBottom_, showBottom_, showRight_});
    if (rightPanel_->isVisibleTo(this)) {
        rightHandle_->setGeometry(0, 0, handle, rightPanel_->height());
        const QRect panel = rightPanel_->geometry();
        hideRight_->move(panel.left() - 6, panel.top() + (panel.height() - button) / 2);
    }
    // Each over its own siblings: the handle lies in the panel, the button on the screen.
    StackingOrder::keepOnTop({rightHandle_});
    StackingOrder::keepOnTop({hideRight_});
}

bool SelectView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
        event->type() == QEvent::LayoutRequest)
        if (watched == photoColumn_ || watched == rightPanel_ || watched == photoArea_)
            QTimer::singleShot(0, this, [this] {
                fitPanels();
                placeOverlays();
            });
    return QWidget::eventFilter(watched, event);
}

CommandCheatSheetView* SelectView::visibleCheatSheet() const {
    if (panelCheatSheet_->isVisibleTo(this)) return panelCheatSheet_;
    if (photoCheatSheet_->isVisibleTo(this)) return photoCheatSheet_;
    return nullptr;
}

QString SelectView::shownName() const {
    const auto& name = topBar_->bar().fileName;
    return name ? QString::fromStdString(*name) : QString();
}

bool SelectView::handle(const KeyEvent& event) {
    const KeyDecision decision =
        dispatcher_.handle(event, ShellCommands::keyContext(state_, inputFocus_.isFocused(), repeater_));
    panel_->setHeldKeys(dispatcher_.keyState().heldKeys);
    if (decision.command) {
        static RandomGenerator random = RandomGenerator::system();
        ShellCommands::run(*decision.command, state_, repeater_, random);
    }
    return decision.consumed;
}

void SelectView::modifiersChanged(AdjustmentKeyModifiers flags) {
    repeater_.stop();
    state_.handleModifierFlags(ModifierKeys(flags.rawValue()));
}

void SelectView::focusChanged(bool focused) {
    state_.setAdjustmentInputFocused(focused);
    if (focused) {
        clearHeldKeys();
        repeater_.stop();
    }
}

void SelectView::clearInputFocus() {
    if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) focus->clearFocus();
    inputFocus_.clear();
}

void SelectView::finishInputThen(std::function<void()> action) {
    if (!inputFocus_.isFocused()) {
        action();
        return;
    }
    clearInputFocus();
    if (!state_.commandCheatSheetIsAllowed()) state_.resetCommandCheatSheetTracking();
    mainQueue_.post([weak = std::weak_ptr<SelectView*>(self_), action = std::move(action)] {
        if (weak.lock()) action();
    });
}

void SelectView::resetKeyboard() {
    if (monitor_) monitor_->forgetHeldKeys();
    clearHeldKeys();
    repeater_.stop();
    state_.resetCommandCheatSheetTracking();
    // No key is held any more as far as the screen knows: the Alt tracking starts afresh.
    state_.handleModifierFlags(ModifierKeys());
    state_.holdOriginalPreviewKey(false);
    if (state_.showingOriginal()) state_.setShowingOriginal(false);
}

void SelectView::showEvent(QShowEvent*) {
    if (!monitor_)
        monitor_ = std::make_unique<KeyEventMonitor>(
            this, mainQueue_, [this](const KeyEvent& event) { return handle(event); },
            [this](AdjustmentKeyModifiers flags) { modifiersChanged(flags); });
    bottomBar_->followCursor();
    state_.prefetch();
    refresh();
}

void SelectView::hideEvent(QHideEvent*) {
    monitor_.reset();
    resetKeyboard();
}

} // namespace sorvin
