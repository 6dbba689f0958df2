#include "ui/platform/dialog_placement.hpp"

#include "shell/window_frame.hpp"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <optional>

namespace sorvin {
namespace {

// The frame a test gives for a window's dialogs.
class GivenFrame final : public QObject {
public:
    GivenFrame(QWidget& window, std::function<QMargins()> source) : QObject(&window), source(std::move(source)) {}
    std::function<QMargins()> source;
};

// The object's own child of a type of this file (which qobject_cast does not know).
template <class Child>
Child* childOf(const QObject& object) {
    for (QObject* child : object.children())
        if (auto* found = dynamic_cast<Child*>(child)) return found;
    return nullptr;
}

QMargins frameOf(const QWidget& dialog) {
    if (const QWidget* parent = dialog.parentWidget())
        if (const auto* given = childOf<GivenFrame>(*parent->window())) return given->source();
    return dialog.windowHandle() ? dialog.windowHandle()->frameMargins() : QMargins();
}

Rect rectOf(const QRect& r) {
    return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

// The room for a dialog's contents on a screen's free area, its frame left out.
Rect roomOn(const QScreen& screen, const QMargins& frame) {
    return WindowFrame::room(rectOf(screen.availableGeometry()),
                             {double(frame.left()), double(frame.top()), double(frame.right()), double(frame.bottom())});
}

// Fits one dialog, as it shows and as its frame becomes known.
class Placement final : public QObject {
public:
    explicit Placement(QWidget& dialog) : QObject(&dialog), dialog_(dialog) { dialog.installEventFilter(this); }

    // Shrinks the shown dialog to the room on its screen and moves it into the room.
    void place() {
        const QScreen* screen = dialog_.screen();
        if (!screen) return;
        const Rect room = roomOn(*screen, frameOf(dialog_));
        shrink(room);
        const QRect now = dialog_.geometry();
        const Rect placed = WindowFrame::fitted(rectOf(now), room);
        if (placed.x != now.x() || placed.y != now.y())
            dialog_.move(dialog_.pos() + QPoint(int(placed.x - now.x()), int(placed.y - now.y())));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Before Qt places a dialog over its window (as the dialog handles its show), it is made no
        // larger than the room on that window's screen; once shown, it is placed in the room.
        if (watched == &dialog_ && event->type() == QEvent::Show) {
            const QWidget* parent = dialog_.parentWidget();
            if (const QScreen* screen = parent ? parent->window()->screen() : dialog_.screen())
                shrink(roomOn(*screen, frameOf(dialog_)));
            return false;
        }
        const bool shown = watched == &dialog_ && event->type() == QEvent::ShowToParent;
        // The window system tells of a frame with a move of the dialog or an exposure of its window.
        const bool framed = watched == &dialog_ ? event->type() == QEvent::Move : event->type() == QEvent::Expose;
        if (!shown && !framed) return false;
        if (shown && dialog_.windowHandle()) dialog_.windowHandle()->installEventFilter(this);
        const QMargins frame = frameOf(dialog_);
        if (!shown && frame == placedWith_) return false;
        placedWith_ = frame;
        place();
        return false;
    }

private:
    // As far as its contents let it: Qt keeps a dialog at the least size they take.
    void shrink(const Rect& room) {
        const Rect fitted = WindowFrame::fitted(rectOf(dialog_.geometry()), room);
        const QSize size(int(fitted.width), int(fitted.height));
        if (size != dialog_.size()) dialog_.resize(size);
    }

    QWidget& dialog_;
    std::optional<QMargins> placedWith_;
};

// Gives each dialog its placement as it first shows.
class DialogWatch final : public QObject {
public:
    explicit DialogWatch(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::WindowType type = widget->windowType();
        if (!widget->isWindow() || (type != Qt::Dialog && type != Qt::Sheet)) return false;
        // Installed now, the placement still hears this show.
        if (!childOf<Placement>(*widget)) new Placement(*widget);
        return false;
    }
};

} // namespace

void DialogPlacement::keepEveryDialogOnScreen() {
    static QPointer<DialogWatch> watch;
    if (watch) return;
    watch = new DialogWatch(qApp);
    qApp->installEventFilter(watch);
}

void DialogPlacement::fitAgain(QWidget& dialog) {
    if (Placement* placement = childOf<Placement>(dialog); placement && dialog.isVisible()) placement->place();
}

void DialogPlacement::setFrameSource(QWidget& window, std::function<QMargins()> source) {
    delete childOf<GivenFrame>(window);
    if (source) new GivenFrame(window, std::move(source));
}

} // namespace sorvin
