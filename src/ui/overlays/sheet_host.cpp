#include "ui/overlays/sheet_host.hpp"

#include "view/sheet_look.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/overlays/dimming_veil.hpp"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPainter>

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
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
}

void SheetHost::keepBackdrop(QWidget& window) {
    new Backdrop(window);
}

} // namespace sorvin
