#include "library/photo_library.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/exif_panel_view.hpp"
#include "ui/browsing/key_event_monitor.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/canvas/source_badge_button.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui_test_fixture.hpp"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <cstring>

namespace sorvin::test {
namespace {

using P = PhotoParameter;

// A solid red stand-in for the decoded photo.
SharedImage redPhoto(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + x * 4;
            p[0] = 255;
            p[1] = 0;
            p[2] = 0;
            p[3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

class PhotoCanvasViewTest : public MainWindowTest {
protected:
    void SetUp() override {
        addStandardPhotos();
        openPhotos();
    }

    std::unique_ptr<PhotoCanvasView> makeCanvas(QSize size) {
        auto canvas = std::make_unique<PhotoCanvasView>(state(), queue, [this] { ++focusClears; });
        canvas->resize(size);
        canvas->setInputsAdjuster(
            [photo = redPhoto(400, 300)](PhotoCanvasInputs& in) { in.displayImage = photo; });
        return canvas;
    }

    static void mouse(QWidget& target, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, target.mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }

    int focusClears = 0;
};

// Scrolling over the photo of the window steps through the photos: a wheel once per whole notch
// (120 eighths of a degree), however finely it reports the turn; a touchpad once per the
// preference's points.
TEST_F(PhotoCanvasViewTest, WheelNotchesAndTouchpadPointsStepThroughThePhotos) {
    window().show();
    QWidget* canvas = window().rootView()->selectView()->photoCanvas();
    const auto scroll = [canvas](QPoint pixels, QPoint eighths) {
        const QPointF at(100, 100);
        QWheelEvent event(at, canvas->mapToGlobal(at), pixels, eighths, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &event);
    };
    const auto cursor = [this] { return state().library()->cursorIndex(); };
    ASSERT_EQ(cursor(), 0);
    for (int part = 0; part < 4; ++part)
        scroll({}, {0, 30});
    EXPECT_EQ(cursor(), 1);
    scroll({}, {0, 90}); // three quarters of a notch wait for the rest
    EXPECT_EQ(cursor(), 1);
    scroll({}, {0, 30});
    EXPECT_EQ(cursor(), 2);
    scroll({}, {0, -240}); // two notches back at once
    EXPECT_EQ(cursor(), 0);

    // Pixel deltas: 60 points a step by default.
    scroll({0, 50}, {0, 400});
    EXPECT_EQ(cursor(), 0);
    scroll({0, 20}, {0, 160});
    EXPECT_EQ(cursor(), 1);
}

// Ctrl and the wheel zoom as a pinch does: a notch at a time (finer wheels add up to notches),
// about the pointer, from 1 to 8; without Ctrl the wheel still steps through the photos.
TEST_F(PhotoCanvasViewTest, CtrlAndTheWheelZoomAboutThePointer) {
    window().show();
    activate();
    auto* canvas = static_cast<PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
    // A photo of the area's own shape, so that zooming in never pins it to an edge.
    canvas->setInputsAdjuster([photo = redPhoto(canvas->width(), canvas->height())](PhotoCanvasInputs& in) {
        in.displayImage = photo;
    });
    const QPointF at = QRectF(canvas->rect()).center() + QPointF(120, -70);
    const auto wheel = [&](int eighths, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &event);
        QApplication::processEvents();
    };
    const auto zoom = [this] { return state().library()->zoomState(); };
    // The point of the photo under the pointer, in its pixels, while it is fitted.
    const PhotoCanvasLayout& fitted = canvas->model().layout;
    ASSERT_TRUE(fitted.hasImage());
    const Point pixel{(at.x() - fitted.area.width / 2 + fitted.fittedSize.width / 2) * fitted.imageWidth /
                          fitted.fittedSize.width,
                      (at.y() - fitted.area.height / 2 + fitted.fittedSize.height / 2) * fitted.imageHeight /
                          fitted.fittedSize.height};

    // The Ctrl held to zoom does not bring up the command list.
    press(&window(), Qt::Key_Control);
    wheel(60, Qt::ControlModifier);
    EXPECT_EQ(zoom().scale, 1) << "half a notch waits for the rest";
    wheel(60, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(zoom().scale, PhotoInteraction::kWheelZoomFactorPerNotch);
    queue.advance(AppState::kCheatSheetDelay * 2);
    EXPECT_FALSE(state().isCommandCheatSheetVisible());
    const Point stays = canvas->model().layout.screenPoint(pixel);
    EXPECT_NEAR(stays.x, at.x(), 1e-6);
    EXPECT_NEAR(stays.y, at.y(), 1e-6);
    EXPECT_EQ(state().library()->cursorIndex(), 0);

    for (int notch = 0; notch < 12; ++notch)
        wheel(120, Qt::ControlModifier);
    EXPECT_EQ(zoom().scale, 8);
    for (int notch = 0; notch < 12; ++notch)
        wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(zoom(), ZoomState{});

    release(&window(), Qt::Key_Control, Qt::ControlModifier);
    wheel(120, Qt::NoModifier);
    EXPECT_EQ(state().library()->cursorIndex(), 1);
}

TEST_F(PhotoCanvasViewTest, AWindowMovedToAScreenOfAnotherScaleHasThePhotoDevelopedForIt) {
    window().show();
    QApplication::processEvents();
    EXPECT_EQ(state().photoAreaBackingScaleFactor(), 1);
    // The test screens: the usual one and one of twice the scale beside it, among others.
    QScreen* doubled = QGuiApplication::screens()[0];
    ASSERT_EQ(doubled->devicePixelRatio(), 2);
    window().move(doubled->geometry().topLeft() + QPoint(20, 20));
    QApplication::processEvents();
    ASSERT_EQ(window().screen(), doubled);
    EXPECT_EQ(state().photoAreaBackingScaleFactor(), 2);
    window().move(20, 20); // and back
    QApplication::processEvents();
    EXPECT_EQ(state().photoAreaBackingScaleFactor(), 1);
}

TEST_F(PhotoCanvasViewTest, GrabsAtItsSizeWithThePhotoFittedAndCentred) {
    auto canvas = makeCanvas({900, 600});
    const QImage shot = canvas->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(900, 600));
    // A 4:3 photo in a 3:2 area: 800 x 600 in the middle, margins of the background beside it.
    EXPECT_EQ(QColor(shot.pixel(450, 300)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(60, 20)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(20, 300)), SorvinColor::background());
    EXPECT_EQ(QColor(shot.pixel(880, 300)), SorvinColor::background());
}

TEST_F(PhotoCanvasViewTest, ZoomAndCropOnlyDisplayChangeWhatIsDrawn) {
    auto canvas = makeCanvas({900, 600});
    state().setCropInsideOnly(true);
    state().setCurrentCropSize(50);
    canvas->refresh();
    // The crop is framed to fill the height: no margin of background at mid-height any more.
    const QImage cropped = canvas->grab().toImage();
    EXPECT_EQ(QColor(cropped.pixel(450, 5)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(cropped.pixel(5, 300)), SorvinColor::background());
}

TEST_F(PhotoCanvasViewTest, DraggingAMaskHandleReachesTheMaskShape) {
    state().presentMaskAddition();
    state().addMask(MaskKind::circular());
    state().setCurrentParameter(P::circular_mask_size, 20);
    auto canvas = makeCanvas({900, 600});
    canvas->show();
    const auto circle = canvas->model().maskModels.circular;
    ASSERT_TRUE(circle);
    const Point c = circle->geometry.center;
    const Point corner = circle->geometry.handleCenters()[2];
    mouse(*canvas, QEvent::MouseButtonPress, {corner.x, corner.y}, Qt::LeftButton);
    mouse(*canvas, QEvent::MouseMove, {c.x + 2 * (corner.x - c.x), c.y + 2 * (corner.y - c.y)},
          Qt::LeftButton);
    mouse(*canvas, QEvent::MouseButtonRelease, {c.x + 2 * (corner.x - c.x), c.y + 2 * (corner.y - c.y)},
          Qt::NoButton);
    const auto parameters = state().library()->currentParameters();
    EXPECT_EQ(parameters.value(P::circular_mask_size, ParameterEditTarget::mask(0)), 40);
    EXPECT_EQ(focusClears, 1);
    // The guide follows once the events are handled.
    QCoreApplication::processEvents();
    EXPECT_GT(canvas->model().maskModels.circular->geometry.outerAxisA, circle->geometry.outerAxisA);
}

TEST_F(PhotoCanvasViewTest, DoubleClickReturnsToTheFittedPhoto) {
    auto canvas = makeCanvas({900, 600});
    state().setZoomScale(3, {450, 300}, {900, 600}, {800, 600});
    state().library()->panZoom({40, 0}, {900, 600}, {800, 600});
    canvas->refresh();
    EXPECT_NE(state().library()->zoomState(), ZoomState{});
    QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(10, 10), canvas->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas.get(), &press);
    EXPECT_EQ(state().library()->zoomState(), ZoomState{});
}

TEST_F(PhotoCanvasViewTest, BadgeNamesTheFileInUseAndSwitchesIt) {
    auto canvas = makeCanvas({900, 600});
    canvas->show();
    SourceBadgeButton* badge = canvas->sourceBadge();
    ASSERT_TRUE(badge->isVisible());
    EXPECT_EQ(badge->text(), "JPG");
    EXPECT_FALSE(badge->showsRaw());
    badge->click();
    settle();
    canvas->refresh();
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::raw);
    EXPECT_EQ(badge->text(), "NEF");
    EXPECT_TRUE(badge->showsRaw());
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The arrow keys walk the photos while the window paints after every step: the photo area paints
// each photo it reaches, developed where it has a development, as soon as it has rebuilt itself
// for the step (before the window's next update, which lays out and paints the panels), and
// nothing of the painting makes Qt complain (the fixture fails a test on any warning).
TEST_F(PhotoCanvasViewTest, WalkingWithTheKeysPaintsEveryPhotoReached) {
    state().move(1);
    state().setCurrentParameter(P::exposure, 30);
    state().jumpToStart();
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    settle();
    auto* canvas = window().findChild<PhotoCanvasView*>();
    ASSERT_EQ(canvas, window().rootView()->selectView()->photoCanvas());
    PaintCounter counter;
    canvas->installEventFilter(&counter);
    const auto currentImage = [this] {
        const Photo& photo = *state().library()->currentPhoto();
        if (state().library()->currentParameters().values.isEmpty())
            return state().imageLoader().image(photo, PhotoSource::jpeg, true);
        return state().imageLoader().parameterState().image;
    };
    for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up}) {
        const std::string before = currentPath();
        const int paints = counter.paints;
        press(&window(), key);
        release(&window(), key);
        // The photo reached was made ready beside the one left, so the step publishes it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        ASSERT_NE(currentPath(), before);
        EXPECT_GT(counter.paints, paints) << currentPath();
        ASSERT_TRUE(currentImage()) << currentPath();
        EXPECT_EQ(canvas->model().displayImage, currentImage()) << currentPath();
        settle();
        QApplication::processEvents();
        queue.advance(KeyEventMonitor::repeatInterval()); // the next press is a new one
    }
}

// A change of the state that leaves the photo area as it was (here a click on an EXIF field to
// copy, as the histogram's arrival is too) repaints nothing of the photo.
TEST_F(PhotoCanvasViewTest, AChangeElsewhereRepaintsNothingOfThePhoto) {
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    settle();
    QApplication::processEvents();
    PaintCounter counter;
    window().rootView()->selectView()->photoCanvas()->installEventFilter(&counter);
    QCheckBox* box = window().rootView()->selectView()->exifPanel()->checkbox(ExifCopyField::iso);
    ASSERT_TRUE(box);
    const bool checked = box->isChecked();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    settle();
    QApplication::processEvents();
    ASSERT_NE(box->isChecked(), checked);
    EXPECT_EQ(counter.paints, 0);
}

// With the loupe on, a move over the photo shows the loupe at once without developing anything on
// the main thread; its picture, the photo's pixels there, follows once the background has made it.
TEST_F(PhotoCanvasViewTest, TheLoupesPictureIsDevelopedInTheBackground) {
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    settle();
    QApplication::processEvents();
    SelectView* select = window().rootView()->selectView();
    QTest::mouseClick(select->bottomBar()->loupeButton(), Qt::LeftButton);
    settle();
    QApplication::processEvents();
    ASSERT_TRUE(state().loupeOn());
    auto* canvas = static_cast<PhotoCanvasView*>(select->photoCanvas());
    const std::size_t started = executor.started();
    mouse(*canvas, QEvent::MouseMove, QPointF(canvas->width() / 2.0, canvas->height() / 2.0), Qt::NoButton);
    QApplication::processEvents();
    const auto& loupe = canvas->model().loupe;
    ASSERT_TRUE(loupe && loupe->region);
    EXPECT_FALSE(canvas->model().loupeImage);
    EXPECT_GT(executor.started(), started) << "the development went to the background";

    settle();
    QApplication::processEvents();
    const SharedImage& picture = canvas->model().loupeImage;
    ASSERT_TRUE(picture);
    const SharedImage source = state().loupeSourceImage(*state().library()->currentPhoto(), true);
    ASSERT_TRUE(source);
    const Rect& region = *canvas->model().loupe->region;
    ASSERT_EQ(picture->width(), static_cast<int>(region.width));
    EXPECT_EQ(std::memcmp(picture->row(0),
                          source->row(static_cast<int>(region.minY())) +
                              4 * static_cast<std::size_t>(region.minX()),
                          4 * static_cast<std::size_t>(region.width)),
              0);

    // An editing key: the loupe keeps its picture, also as the pointer moves on, until the new
    // edit's is ready.
    const SharedImage before = picture;
    press(&window(), Qt::Key_A);
    release(&window(), Qt::Key_A);
    QApplication::processEvents();
    EXPECT_EQ(canvas->model().loupeImage, before);
    mouse(*canvas, QEvent::MouseMove, QPointF(canvas->width() / 2.0 + 30, canvas->height() / 2.0),
          Qt::NoButton);
    QApplication::processEvents();
    ASSERT_TRUE(canvas->model().loupeImage);
    settle();
    QApplication::processEvents();
    const SharedImage after = canvas->model().loupeImage;
    ASSERT_TRUE(after);
    EXPECT_NE(std::memcmp(after->row(0), before->row(0), 4 * static_cast<std::size_t>(before->width())), 0)
        << "the brighter edit's picture";

    // Another photo's picture never stands in.
    press(&window(), Qt::Key_Down);
    release(&window(), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_NE(canvas->model().loupeImage, after);
}

class MaskTabBarViewTest : public PhotoCanvasViewTest {};

TEST_F(MaskTabBarViewTest, TabsFollowTheMasksAndSelectTheEditTarget) {
    MaskTabBarView bar(state());
    ASSERT_EQ(bar.tabButtons().size(), 1);
    EXPECT_EQ(bar.tabButtons()[0]->text(), "全体");
    state().presentMaskAddition();
    state().addMask(MaskKind::circular());
    state().presentMaskAddition();
    state().addMask(MaskKind::linear());
    bar.refresh();
    ASSERT_EQ(bar.tabButtons().size(), 3);
    EXPECT_EQ(bar.tabButtons()[1]->text(), "円形1");
    EXPECT_EQ(bar.tabButtons()[2]->text(), "段階1");
    bar.tabButtons()[1]->click();
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
    bar.tabButtons()[0]->click();
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::global());
    EXPECT_TRUE(bar.addButton()->isEnabled());
    EXPECT_TRUE(bar.copyButton()->isEnabled());
}

TEST_F(MaskTabBarViewTest, SheetAddsTheChosenKindOrClosesWithout) {
    MaskTabBarView bar(state());
    bar.addButton()->click();
    ASSERT_TRUE(state().isMaskAddPresented());
    ASSERT_TRUE(bar.sheet());
    bar.sheet()->reject();
    EXPECT_FALSE(state().isMaskAddPresented());
    EXPECT_TRUE(state().library()->currentParameters().masks.empty());

    bar.addButton()->click();
    ASSERT_TRUE(bar.sheet());
    QPushButton* linear = nullptr;
    for (auto* button : bar.sheet()->findChildren<QPushButton*>()) {
        if (button->text() == "段階") linear = button;
    }
    ASSERT_TRUE(linear);
    linear->click();
    EXPECT_FALSE(state().isMaskAddPresented());
    ASSERT_EQ(state().library()->currentParameters().masks.size(), 1u);
    EXPECT_EQ(state().library()->currentParameters().masks[0].kind, MaskKind::linear());
}

TEST(MaskTabBarColor, ParsesHexOrFallsBackToTheTextColour) {
    EXPECT_EQ(MaskTabBarView::color("#FF9F0A"), QColor(255, 159, 10));
    EXPECT_EQ(MaskTabBarView::color("FF9F0A"), SorvinColor::text());
}

} // namespace
} // namespace sorvin::test
