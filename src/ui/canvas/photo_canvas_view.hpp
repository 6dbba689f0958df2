#pragma once

#include "canvas/photo_canvas_controller.hpp"
#include "canvas/photo_interaction.hpp"
#include "ui/platform/once_per_turn.hpp"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QProgressBar;
class QWindow;
class QVariantAnimation;
class QPushButton;
namespace sorvin {
class SourceBadgeButton;
}

namespace sorvin {

class AppState;
class MainQueue;
class OriginalPhotoIndicator;

// The photo area of the browsing screen: paints the canvas model of the current photo and hands
// pointer, wheel and pinch events to the pointer input. Holds no edit state.
class PhotoCanvasView : public QWidget {
    Q_OBJECT
public:
    PhotoCanvasView(AppState& state, MainQueue& mainQueue, std::function<void()> clearInputFocus,
                    QWidget* parent = nullptr);

    // Reads the state again and redraws (the state, the library or the loaders changed).
    void refresh();
    // The same once the current event is handled; many requests make one.
    void scheduleRefresh();
    // Amends what the canvas read before it builds its model; lets a caller stand in for the
    // image loader's images (previews of the widget, tests).
    void setInputsAdjuster(std::function<void(PhotoCanvasInputs&)> adjuster);

    const PhotoCanvasModel& model() const { return controller_.model(); }
    SourceBadgeButton* sourceBadge() const { return badge_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void reportDisplayMetrics();
    void placeOverlays();
    void setPointerStyle(CircularMaskPointerStyle style);
    void followHeartFeedback();

    AppState& state_;
    QPointer<QWindow> watchedWindow_;
    QMetaObject::Connection screenChanged_;
    PhotoCanvasController controller_;
    PhotoInteraction interaction_;
    std::function<void(PhotoCanvasInputs&)> adjuster_;
    SourceBadgeButton* badge_;
    QProgressBar* progress_;
    OriginalPhotoIndicator* originalIndicator_;
    OncePerTurn refreshLater_{this, [this] { refresh(); }};
    // The heart shows at full opacity while the state says so and then fades out.
    QVariantAnimation* heartFade_;
    double heartOpacity_ = 0;
    // The display image last painted as soon as it came; not kept alive, so that a later image made
    // at the same address is not taken for it.
    std::weak_ptr<const Image> paintedAtOnce_;
    std::optional<std::uint64_t> heartId_;
    bool heartVisible_ = false;
};

} // namespace sorvin
