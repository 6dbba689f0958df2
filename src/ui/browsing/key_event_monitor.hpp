#pragma once

#include "shell/key_dispatcher.hpp"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

namespace sorvin {

// Sees every key event of one window before the window, its menus and its text fields do. Key
// presses and releases go to the handler, which answers whether it took them; a taken key is
// withheld from everything else (menu shortcuts included). Presses and releases of the modifier
// keys go to `flagsChanged` with the new modifier set and are never taken. Keys of other windows
// (dialogs, alerts) pass untouched. Installed while it exists.
class KeyEventMonitor : public QObject {
public:
    using Handler = std::function<bool(const KeyEvent&)>;
    using FlagsChanged = std::function<void(AdjustmentKeyModifiers)>;

    // `scope` is a widget of the window whose keys are watched.
    KeyEventMonitor(QWidget* scope, Handler handler, FlagsChanged flagsChanged);
    ~KeyEventMonitor() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inScope(QObject* watched) const;

    QPointer<QWidget> scope_;
    Handler handler_;
    FlagsChanged flagsChanged_;
    struct TakenPress {
        std::uint16_t code;
        quint64 timestamp;
        friend bool operator==(const TakenPress&, const TakenPress&) = default;
    };
    // A press taken at its shortcut check, still to be withheld when it arrives as a key press.
    std::optional<TakenPress> takenPress_;
};

} // namespace sorvin
