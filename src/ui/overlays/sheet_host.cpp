#include "ui/overlays/sheet_host.hpp"

#include "shell/window_frame.hpp"
#include "view/sheet_look.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/overlays/dimming_veil.hpp"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <optional>

namespace sorvin {
namespace {

// The sheet's fill and border, as its lowest child: every control of the sheet lies over it.
class SheetFrame final : public QWidget {
public:
    explicit SheetFrame(QDialog& sheet) : QWidget(&sheet) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        sheet.installEventFilter(this);
        setGeometry(sheet.rect());
        lower();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), toQColor(SheetLook::fill));
        const int w = SheetLook::borderWidth;
        painter.setPen(QPen(toQColor(SheetLook::border), w));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(w / 2.0, w / 2.0, -w / 2.0, -w / 2.0));
    }
};

// The frame a test gives for a window's sheets.
class GivenFrame final : public QObject {
public:
    GivenFrame(QWidget& window, std::function<QMargins()> source) : QObject(&window), source(std::move(source)) {}
    std::function<QMargins()> source;
};

GivenFrame* givenFrame(const QWidget& window) {
    for (QObject* child : window.children())
        if (auto* given = dynamic_cast<GivenFrame*>(child)) return given;
    return nullptr;
}

QMargins frameOf(const QDialog& sheet) {
    if (const QWidget* parent = sheet.parentWidget())
        if (const GivenFrame* given = givenFrame(*parent->window())) return given->source();
    return sheet.windowHandle() ? sheet.windowHandle()->frameMargins() : QMargins();
}

// Keeps the sheet, title bar included, on its screen's free area. The window system may place a
// sheet before it knows the frame it draws around it, and so put the title bar above the screen:
// when the sheet shows, and whenever its frame is first known or changes, it is moved back onto
// the screen. Where the user moves it later is left alone.
class SheetPlacement final : public QObject {
public:
    explicit SheetPlacement(QDialog& sheet) : QObject(&sheet), sheet_(sheet) { sheet.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool shown = watched == &sheet_ && event->type() == QEvent::Show;
        // The window system tells of a frame with a move of the sheet or an exposure of its window.
        const bool framed = watched == &sheet_ ? event->type() == QEvent::Move : event->type() == QEvent::Expose;
        if (!shown && !framed) return false;
        if (shown && sheet_.windowHandle()) sheet_.windowHandle()->installEventFilter(this);
        const QMargins frame = frameOf(sheet_);
        if (!shown && frame == placedWith_) return false;
        placedWith_ = frame;
        keepOnScreen(frame);
        return false;
    }

private:
    void keepOnScreen(const QMargins& frame) {
        const QScreen* screen = sheet_.screen();
        if (!screen) return;
        const QRect free = screen->availableGeometry();
        const QRect g = sheet_.geometry();
        const Rect now{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
        const Rect fitted = WindowFrame::fitted(
            now, WindowFrame::room({double(free.x()), double(free.y()), double(free.width()), double(free.height())},
                                   {double(frame.left()), double(frame.top()), double(frame.right()),
                                    double(frame.bottom())}));
        // A sheet cannot be made smaller than its contents: only its place changes.
        if (fitted.x != now.x || fitted.y != now.y)
            sheet_.move(sheet_.pos() + QPoint(int(fitted.x - now.x), int(fitted.y - now.y)));
    }

    QDialog& sheet_;
    std::optional<QMargins> placedWith_;
};

// Lays the backdrop over the window for as long as something modal blocks it.
class Backdrop final : public QObject {
public:
    explicit Backdrop(QWidget& window)
        : QObject(&window), veil_(new DimmingVeil(toQColor(SheetLook::backdrop.withOpacity(1)), &window)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowBlocked) veil_->setOpacity(1 - SheetLook::backdrop.opacity);
        if (event->type() == QEvent::WindowUnblocked) veil_->setOpacity(1);
        return false;
    }

private:
    DimmingVeil* veil_;
};

// Tells the window, once a released sheet is hidden, what Qt tells it when a modal one goes.
class ReleasedSheet final : public QObject {
public:
    explicit ReleasedSheet(QDialog& sheet) : QObject(&sheet), sheet_(sheet) { sheet.installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && sheet_.parentWidget() && !QApplication::activeModalWidget()) {
            QEvent unblocked(QEvent::WindowUnblocked);
            QCoreApplication::sendEvent(sheet_.parentWidget()->window(), &unblocked);
        }
        return false;
    }

private:
    QDialog& sheet_;
};

} // namespace

void SheetHost::release(QDialog& sheet) {
    if (sheet.windowModality() == Qt::NonModal) return;
    // Qt takes a new modality only when the window is shown again.
    sheet.hide();
    sheet.setWindowModality(Qt::NonModal);
    new ReleasedSheet(sheet);
    sheet.show();
    sheet.activateWindow();
}

void SheetHost::present(QDialog& sheet) {
    new SheetFrame(sheet);
    new SheetPlacement(sheet);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
}

void SheetHost::keepBackdrop(QWidget& window) {
    new Backdrop(window);
}

void SheetHost::setFrameSource(QWidget& window, std::function<QMargins()> source) {
    delete givenFrame(window);
    if (source) new GivenFrame(window, std::move(source));
}

} // namespace sorvin
