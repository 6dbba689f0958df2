#include "ui/canvas/photo_canvas_view.hpp"

#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "model/photo.hpp"
#include "ui/canvas/canvas_painter.hpp"
#include "ui/canvas/source_badge_button.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QCursor>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <QWindow>

namespace sorvin {

namespace {

Point pointOf(const QPointF& p) {
    return {p.x(), p.y()};
}

} // namespace

PhotoCanvasView::PhotoCanvasView(AppState& state, MainQueue& mainQueue, std::function<void()> clearInputFocus,
                                 QWidget* parent)
    : QWidget(parent), state_(state),
      controller_(state, mainQueue,
                  PhotoCanvasController::Hooks{std::move(clearInputFocus), [this] { scheduleRefresh(); }}),
      interaction_([this](CircularMaskPointerStyle style) { setPointerStyle(style); }),
      badge_(new SourceBadgeButton(this)), progress_(new QProgressBar(this)),
      originalIndicator_(new OriginalPhotoIndicator(this)), heartFade_(new QVariantAnimation(this)) {
    heartFade_->setDuration(150);
    heartFade_->setEasingCurve(QEasingCurve::InOutQuad);
    heartFade_->setEndValue(0.0);
    connect(heartFade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        heartOpacity_ = value.toDouble();
        update();
    });
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_AcceptTouchEvents);
    grabGesture(Qt::PinchGesture);
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    progress_->setFixedSize(120, 8);
    progress_->hide();
    originalIndicator_->hide();
    badge_->hide();
    connect(badge_, &QPushButton::clicked, this, [this] {
        const PhotoLibrary* library = state_.library();
        if (const Photo* photo = library ? library->currentPhoto() : nullptr) {
            const Photo copy = *photo;
            controller_.toggleSourceFromBadge(copy);
        }
    });
    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this,
            [this] { scheduleRefresh(); });
    connect(new SignalAdapter(state.histogramLoader().changed, this), &SignalAdapter::fired, this,
            [this] { scheduleRefresh(); });
    // A decode that fails after the photo was selected turns the progress bar into the failure note.
    connect(new SignalAdapter(state.imageLoader().revisionChanged, this), &SignalAdapter::fired, this,
            [this] { scheduleRefresh(); });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { scheduleRefresh(); });
    refresh();
}

void PhotoCanvasView::setInputsAdjuster(std::function<void(PhotoCanvasInputs&)> adjuster) {
    adjuster_ = std::move(adjuster);
    refresh();
}

void PhotoCanvasView::scheduleRefresh() {
    // Several changes of one event (a drag step changes the mask, the undo state and the image
    // request) make one rebuild, after the event.
    refreshLater_.request();
}

void PhotoCanvasView::refresh() {
    const PhotoCanvasModel shown = model();
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    const Size area{static_cast<double>(width()), static_cast<double>(height())};
    if (photo) {
        PhotoCanvasInputs inputs = PhotoCanvasInputs::read(state_, *photo, area, controller_.pointer());
        if (adjuster_) adjuster_(inputs);
        controller_.rebuild(inputs);
        const auto badge = PhotoAreaSourceBadgePresentation::make(*photo, library->currentSource());
        badge_->present(badge);
    } else {
        PhotoCanvasInputs nothing;
        nothing.area = area;
        controller_.rebuild(nothing);
        badge_->present(std::nullopt);
    }
    interaction_.apply(controller_.inputs());
    progress_->setVisible(photo && model().showsProgress);
    originalIndicator_->setVisible(model().showsOriginalIndicator);
    placeOverlays();
    followHeartFeedback();
    // A new image (the next photo, or its development) is painted now, before the panels that
    // change with it are laid out and painted; any other change waits for the window's next paint.
    // What the paint draws comes from the model alone (and the heart's fade, which repaints
    // itself): a refresh for a change elsewhere (the EXIF or the histogram of the photo arrived)
    // repaints nothing.
    const SharedImage& image = model().displayImage;
    if (image != paintedAtOnce_.lock() && isVisible()) {
        paintedAtOnce_ = image;
        repaint();
    } else if (model() != shown) {
        update();
    }
}

void PhotoCanvasView::followHeartFeedback() {
    const auto& heart = model().heartFeedback;
    const std::optional<std::uint64_t> id = heart ? std::optional<std::uint64_t>(heart->id) : std::nullopt;
    const bool visible = heart && model().heartFeedbackIsVisible;
    if (id != heartId_ || (visible && !heartVisible_)) {
        heartFade_->stop();
        heartOpacity_ = visible ? 1.0 : 0.0;
    } else if (!visible && heartVisible_) {
        heartFade_->setStartValue(heartOpacity_);
        heartFade_->start();
    }
    heartId_ = id;
    heartVisible_ = visible;
}

void PhotoCanvasView::placeOverlays() {
    badge_->move(12, 12);
    progress_->move(0, height() - progress_->height());
    originalIndicator_->adjustSize();
    originalIndicator_->move((width() - originalIndicator_->width()) / 2, 24);
}

void PhotoCanvasView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const PhotoCanvasModel& m = model();
    const double w = width();
    const double h = height();
    painter.fillRect(rect(), SorvinColor::background());
    painter.setClipRect(rect());
    CanvasPainter::photo(painter, m);
    if (!m.displayImage && m.showsFailureNote)
        CanvasPainter::failureNote(painter, h, QString::fromStdString(m.failureNote));
    CanvasPainter::clippingWarning(painter, m);
    CanvasPainter::cropGuide(painter, m);
    if (m.maskModels.circular) CanvasPainter::circularMaskGuide(painter, *m.maskModels.circular);
    if (m.maskModels.linear) CanvasPainter::linearMaskGuide(painter, *m.maskModels.linear);
    CanvasPainter::statusStrip(painter, m, h);
    CanvasPainter::loupe(painter, m, PhotoCanvasRules::loupeSide({w, h}));
    if (m.showsLoadingNote) CanvasPainter::loadingNote(painter, w);
    CanvasPainter::heartFeedback(painter, m, heartOpacity_, w, h);
}

void PhotoCanvasView::resizeEvent(QResizeEvent*) {
    reportDisplayMetrics();
    refresh();
}

void PhotoCanvasView::showEvent(QShowEvent*) {
    // The photo is developed for the screen's scale: a window moved to another screen asks again.
    QWindow* window = this->window()->windowHandle();
    if (window != watchedWindow_) {
        disconnect(screenChanged_);
        watchedWindow_ = window;
        if (window)
            screenChanged_ =
                connect(window, &QWindow::screenChanged, this, [this] { reportDisplayMetrics(); });
    }
    reportDisplayMetrics();
    refresh();
}

void PhotoCanvasView::reportDisplayMetrics() {
    state_.updatePhotoArea({static_cast<double>(width()), static_cast<double>(height())},
                           devicePixelRatioF());
}

bool PhotoCanvasView::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            interaction_.magnify(gesture->value(), pointOf(gesture->position()));
            return true;
        }
    }
    if (event->type() == QEvent::Enter) {
        interaction_.mouseMoved(pointOf(mapFromGlobal(QCursor::pos()).toPointF()));
    }
    return QWidget::event(event);
}

void PhotoCanvasView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    interaction_.mouseDown(pointOf(event->position()), 1);
}

void PhotoCanvasView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    interaction_.mouseDown(pointOf(event->position()), 2);
}

void PhotoCanvasView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        interaction_.mouseDragged(pointOf(event->position()));
    } else {
        interaction_.mouseMoved(pointOf(event->position()));
    }
}

void PhotoCanvasView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    interaction_.mouseUp(pointOf(event->position()));
}

void PhotoCanvasView::leaveEvent(QEvent*) {
    interaction_.mouseExited(pointOf(mapFromGlobal(QCursor::pos()).toPointF()));
}

void PhotoCanvasView::wheelEvent(QWheelEvent* event) {
    const bool isMomentum = event->phase() == Qt::ScrollMomentum;
    if (event->modifiers() & Qt::ControlModifier) {
        // A zoom, not a request for the command list that holding Ctrl alone brings up.
        state_.resetCommandCheatSheetTracking();
        // Qt counts a wheel's turn in eighths of a degree, also for touchpads.
        interaction_.wheelZoom(event->angleDelta().y() / 8.0, isMomentum, pointOf(event->position()));
        event->accept();
        return;
    }
    ScrollEvent scroll;
    if (!event->pixelDelta().isNull()) {
        scroll.deltaX = event->pixelDelta().x();
        scroll.deltaY = event->pixelDelta().y();
        scroll.hasPreciseDeltas = true;
    } else {
        // Qt counts a wheel's turn in eighths of a degree.
        scroll.deltaX = event->angleDelta().x() / 8.0;
        scroll.deltaY = event->angleDelta().y() / 8.0;
    }
    scroll.isMomentum = isMomentum;
    if (interaction_.scroll(scroll)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void PhotoCanvasView::setPointerStyle(CircularMaskPointerStyle style) {
    switch (style) {
    case CircularMaskPointerStyle::arrow:
        setCursor(Qt::ArrowCursor);
        break;
    case CircularMaskPointerStyle::crosshair:
        setCursor(Qt::CrossCursor);
        break;
    case CircularMaskPointerStyle::openHand:
        setCursor(Qt::OpenHandCursor);
        break;
    case CircularMaskPointerStyle::closedHand:
        setCursor(Qt::ClosedHandCursor);
        break;
    }
}

} // namespace sorvin
