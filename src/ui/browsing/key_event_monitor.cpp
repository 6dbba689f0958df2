#include "ui/browsing/key_event_monitor.hpp"

#include "ui/platform/key_translation.hpp"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWindow>

namespace sorvin {

KeyEventMonitor::KeyEventMonitor(QWidget* scope, Handler handler, FlagsChanged flagsChanged)
    : scope_(scope), handler_(std::move(handler)), flagsChanged_(std::move(flagsChanged)) {
    QCoreApplication::instance()->installEventFilter(this);
}

KeyEventMonitor::~KeyEventMonitor() {
    if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
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
        // X11 reports a held key as repeated release and press pairs; only the last release counts.
        if (key->isAutoRepeat()) return false;
        if (takenPress_ && takenPress_->code == *code) takenPress_.reset();
        return handler_({KeyEvent::Type::keyUp, *code, KeyTranslation::modifiers(key->modifiers()), false});
    }
    const TakenPress press{*code, key->timestamp()};
    if (takenPress_ == press) {
        if (type == QEvent::KeyPress) takenPress_.reset();
        return true;
    }
    const KeyEvent down{KeyEvent::Type::keyDown, *code, KeyTranslation::modifiers(key->modifiers()),
                        key->isAutoRepeat()};
    if (!handler_(down)) return false;
    if (type == QEvent::ShortcutOverride) {
        // Accepted, the press is not tried as a menu shortcut: the screen's command runs alone.
        key->accept();
        takenPress_ = press;
    }
    return true;
}

} // namespace sorvin
