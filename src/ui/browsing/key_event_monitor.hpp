#pragma once

#include "platform/main_queue.hpp"
#include "shell/key_dispatcher.hpp"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sorvin {

// Sees every key event of one window before the window, its menus and its text fields do. Key
// presses and releases go to the handler, which answers whether it took them; a taken key is
// withheld from everything else (menu shortcuts included). Presses and releases of the modifier
// keys go to `flagsChanged` with the new modifier set and are never taken. Keys of other windows
// (dialogs, alerts) pass untouched. Installed while it exists.
//
// X11 often reports a repeat of a held key as a release followed at once by a press, both plain:
// the release of a key held until let go (KeyDispatcher::holdsUntilReleased) therefore waits one
// repeat interval on the main queue, and a press of the same key within it is a repeat, so the
// hold goes on. Any other key, or a modifier, lets the waiting release through first.
class KeyEventMonitor : public QObject {
public:
    using Handler = std::function<bool(const KeyEvent&)>;
    using FlagsChanged = std::function<void(AdjustmentKeyModifiers)>;

    // `scope` is a widget of the window whose keys are watched.
    KeyEventMonitor(QWidget* scope, MainQueue& mainQueue, Handler handler, FlagsChanged flagsChanged);
    ~KeyEventMonitor() override;

    // How long a release waits for the press that would make it a repeat, in seconds: the
    // system's key repeat interval.
    static double repeatInterval();
    // Forgets the keys held (the keyboard was reset): a release still waiting never reaches the
    // handler.
    void forgetHeldKeys();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inScope(QObject* watched) const;
    bool release(std::uint16_t code, AdjustmentKeyModifiers modifiers, quint64 timestamp);
    void letWaitingReleaseThrough();
    void dropWaitingRelease();

    QPointer<QWidget> scope_;
    MainQueue& mainQueue_;
    Handler handler_;
    FlagsChanged flagsChanged_;
    struct TakenPress {
        std::uint16_t code;
        quint64 timestamp;
        friend bool operator==(const TakenPress&, const TakenPress&) = default;
    };
    // A press taken at its shortcut check, still to be withheld when it arrives as a key press.
    std::optional<TakenPress> takenPress_;
    // The keys held until let go whose press the handler took; their releases are withheld too.
    std::vector<std::uint16_t> takenHolds_;
    struct WaitingRelease {
        KeyEvent event;
        quint64 timestamp;
        bool pressTaken;
        MainQueue::Timer timer;
    };
    std::optional<WaitingRelease> waitingRelease_;
    // A press that followed a release at once, a repeat wherever it arrives again.
    std::optional<TakenPress> repeatPress_;
    std::shared_ptr<KeyEventMonitor*> self_ = std::make_shared<KeyEventMonitor*>(this);
};

} // namespace sorvin
