#include "ui/browsing/select_view.hpp"

#include "app/app_state.hpp"
#include "panel/parameter_panel_vertical_metrics.hpp"
#include "platform/random_generator.hpp"
#include "shell/shell_commands.hpp"
#include "ui/browsing/key_event_monitor.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_preset_organizer_sheet.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWindow>
#include <filesystem>

namespace sorvin {

SelectView::SelectView(AppState& state, MainQueue& mainQueue, QWidget* parent)
    : QWidget(parent), state_(state), repeater_(HoldAdvanceScheduler::live(mainQueue)),
      name_(new QLabel(this)), panel_(new ParameterPanelView(state, inputFocus_, this)),
      ratioBar_(new RatioBarView(state, inputFocus_, this)) {
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(SorvinLook::font(20));
    name_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ratioBar_);
    layout->addWidget(name_, 1);
    layout->addWidget(panel_);
    // Keys go to a focused field instead of the screen's commands.
    focusConnection_ = inputFocus_.changed.connect([this](const std::optional<AdjustmentInputField>& field) {
        state_.setAdjustmentInputFocused(field.has_value());
    });
    sheetAdapter_ = new SignalAdapter(state.changed, this);
    connect(sheetAdapter_, &SignalAdapter::fired, this, [this] { presentSheets(); });

    // Held keys end when the application or any of its windows loses the keyboard.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive && monitor_) resetKeyboard();
    });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) {
        if (monitor_) resetKeyboard();
    });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    // A sheet or panel coming up ends a walk through the photos.
    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this, [this] {
        if (state_.isModalExportPresented()) repeater_.stop();
    });
    refresh();
    presentSheets();
}

SelectView::~SelectView() {
    // The panels may still tell the state about the keyboard as they go; nothing here listens then.
    delete sheetAdapter_;
    focusConnection_.disconnect();
    delete presetSheet_;
    delete ratioBar_;
    delete panel_;
}

void SelectView::presentSheets() {
    panel_->setFixedHeight(
        static_cast<int>(ParameterPanelVerticalMetrics::make(state_.bottomPanelHeight()).panelHeight));
    panel_->setVisible(!state_.bottomPanelCollapsed());
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
        presetSheet_->setWindowModality(Qt::WindowModal);
        presetSheet_->show();
    } else if (organize && presetSheet_) {
        static_cast<ParameterPresetOrganizerSheet*>(presetSheet_)->refresh();
    }
}

void SelectView::refresh() {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    name_->setText(
        photo ? QString::fromStdString(std::filesystem::path(photo->relativePath).filename().string())
              : QString());
}

QString SelectView::shownName() const {
    return name_->text();
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

void SelectView::resetKeyboard() {
    dispatcher_.resetKeyState();
    panel_->setHeldKeys({});
    repeater_.stop();
    state_.resetCommandCheatSheetTracking();
    // No modifier is held any more as far as the screen knows: the Alt tracking starts afresh.
    state_.handleModifierFlags(ModifierKeys());
    if (state_.showingOriginal()) state_.setShowingOriginal(false);
}

void SelectView::showEvent(QShowEvent*) {
    if (!monitor_)
        monitor_ = std::make_unique<KeyEventMonitor>(
            this, [this](const KeyEvent& event) { return handle(event); },
            [this](AdjustmentKeyModifiers flags) { modifiersChanged(flags); });
}

void SelectView::hideEvent(QHideEvent*) {
    monitor_.reset();
    resetKeyboard();
}

} // namespace sorvin
