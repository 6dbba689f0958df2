#include "ui/browsing/select_view.hpp"

#include "app/app_state.hpp"
#include "platform/random_generator.hpp"
#include "shell/shell_commands.hpp"
#include "ui/browsing/key_event_monitor.hpp"
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
      name_(new QLabel(this)) {
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(SorvinLook::font(20));
    name_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);

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
}

SelectView::~SelectView() = default;

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
        dispatcher_.handle(event, ShellCommands::keyContext(state_, fieldFocused_, repeater_));
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
