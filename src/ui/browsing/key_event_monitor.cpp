#include "ui/browsing/key_event_monitor.hpp"

#include "ui/platform/key_translation.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>
#include <QWindow>
#include <algorithm>

namespace sorvin {

KeyEventMonitor::KeyEventMonitor(QWidget* scope, MainQueue& mainQueue, Handler handler,
                                 FlagsChanged flagsChanged)
    : scope_(scope), mainQueue_(mainQueue), handler_(std::move(handler)),
      flagsChanged_(std::move(flagsChanged)) {
    QCoreApplication::instance()->installEventFilter(this);
}

KeyEventMonitor::~KeyEventMonitor() {
    forgetHeldKeys();
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
}

double KeyEventMonitor::repeatInterval() {
    return 1.0 / std::max(1, QGuiApplication::styleHints()->keyboardAutoRepeatRate());
}

void KeyEventMonitor::dropWaitingRelease() {
    if (waitingRelease_) waitingRelease_->timer.cancel();
    waitingRelease_.reset();
}

void KeyEventMonitor::forgetHeldKeys() {
    dropWaitingRelease();
    takenHolds_.clear();
}

void KeyEventMonitor::letWaitingReleaseThrough() {
    if (!waitingRelease_) return;
    const KeyEvent event = waitingRelease_->event;
    dropWaitingRelease();
    if (handler_) handler_(event);
}

// Most releases reach the handler at once. That of a key held until let go waits for a press that
// would make it a repeat, and goes where its press went: withheld when the handler took the press,
// on to the focused field otherwise.
bool KeyEventMonitor::release(std::uint16_t code, AdjustmentKeyModifiers modifiers, quint64 timestamp) {
    if (waitingRelease_ && waitingRelease_->event.keyCode == code && waitingRelease_->timestamp == timestamp)
        return waitingRelease_->pressTaken; // the same release on its way through the widgets
    letWaitingReleaseThrough();
    const KeyEvent event{KeyEvent::Type::keyUp, code, modifiers, false};
    if (!KeyDispatcher::holdsUntilReleased(code)) return handler_(event);
    const auto taken = std::find(takenHolds_.begin(), takenHolds_.end(), code);
    const bool pressTaken = taken != takenHolds_.end();
    if (pressTaken) takenHolds_.erase(taken);
    const std::weak_ptr<KeyEventMonitor*> weak = self_;
    waitingRelease_ =
        WaitingRelease{event, timestamp, pressTaken, mainQueue_.postAfter(repeatInterval(), [weak] {
                           if (const auto self = weak.lock()) (*self)->letWaitingReleaseThrough();
                       })};
    return pressTaken;
}

bool KeyEventMonitor::inScope(QObject* watched) const {
    if (!scope_) return false;
    QWidget* window = scope_->window();
    if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() == window;
    if (auto* handle = qobject_cast<QWindow*>(watched)) return handle == window->windowHandle();
    return false;
}

// Qt offers a key press first as a shortcut check (ShortcutOverride), then, when no shortcut took
// it, as a key press; both reach this filter once for the window and again for each widget the
// event travels through, and a synthetic press is checked again on its way. A key the handler does
// not take changes nothing in it, so asking again is harmless; a taken press is accepted at its
// shortcut check, so no menu item with the same shortcut fires, and remembered by its key and time
// stamp, so that it is dispatched once and then withheld wherever it appears.
bool KeyEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    if (!inScope(watched)) return false;
    auto* key = static_cast<QKeyEvent*>(event);

    if (const auto modifier = KeyTranslation::modifierKey(key->key())) {
        if (type == QEvent::ShortcutOverride || key->isAutoRepeat()) return false;
        letWaitingReleaseThrough();
        AdjustmentKeyModifiers flags = KeyTranslation::modifiers(key->modifiers());
        if (type == QEvent::KeyPress)
            flags.insert(*modifier);
        else
            flags.remove(*modifier);
        if (flagsChanged_) flagsChanged_(flags);
        return false;
    }

    const auto code = KeyTranslation::keyCode(key->nativeScanCode(), key->key());
    if (!code || !handler_) return false;

    if (type == QEvent::KeyRelease) {
        // The releases X11 marks as repeats come in pairs with a press; only the last one counts.
        if (key->isAutoRepeat()) return false;
        if (takenPress_ && takenPress_->code == *code) takenPress_.reset();
        return release(*code, KeyTranslation::modifiers(key->modifiers()), key->timestamp());
    }
    const TakenPress press{*code, key->timestamp()};
    if (waitingRelease_ && waitingRelease_->event.keyCode == *code) {
        dropWaitingRelease();
        repeatPress_ = press;
    } else if (repeatPress_ != press) {
        letWaitingReleaseThrough();
        repeatPress_.reset();
    }
    if (takenPress_ == press) {
        if (type == QEvent::KeyPress) takenPress_.reset();
        return true;
    }
    const KeyEvent down{KeyEvent::Type::keyDown, *code, KeyTranslation::modifiers(key->modifiers()),
                        key->isAutoRepeat() || repeatPress_ == press};
    const bool taken = handler_(down);
    if (KeyDispatcher::holdsUntilReleased(*code)) {
        std::erase(takenHolds_, *code);
        if (taken) takenHolds_.push_back(*code);
    }
    if (!taken) return false;
    if (type == QEvent::ShortcutOverride) {
        // Accepted, the press is not tried as a menu shortcut: the screen's command runs alone.
        key->accept();
        takenPress_ = press;
    }
    return true;
}

} // namespace sorvin
