#include "library/photo_library.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui_test_fixture.hpp"

#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <functional>
#include <map>
#include <tuple>

namespace sorvin::test {
namespace {

using P = PhotoParameter;
using Row = std::tuple<std::string, RetouchSlot, PhotoSource>;

// A drag over the photo, at the window, with the photo, its copy, its file or the mask tab changed
// while the button is held: the drag stays with what it began on.
class CanvasDragTest : public MainWindowTest {
protected:
    void SetUp() override {
        openAtTheWindow(); // a.jpg with a.nef, b.jpg, c.jpg
        // A plain picture stands in for the decoded photos, so that the guides are drawn at once.
        canvas().setInputsAdjuster([photo = plainPhoto()](PhotoCanvasInputs& in) { in.displayImage = photo; });
        // Two circular masks on every photo and file, the second elsewhere: the next photo has a mask
        // of the same kind under the pointer.
        state().presentMaskAddition();
        state().addMask(MaskKind::circular());
        state().presentMaskAddition();
        state().addMask(MaskKind::circular());
        state().setCurrentParameter(P::circular_mask_center_x, 200);
        state().selectEditTarget(ParameterEditTarget::mask(0));
        PhotoLibrary& library = *state().library();
        const PhotoParameters masks = library.currentParameters();
        for (const Photo& photo : library.photos())
            for (const PhotoSource source : {PhotoSource::jpeg, PhotoSource::raw})
                library.setParameters(masks, photo.relativePath, RetouchSlot::a, source);
        redraw();
        ASSERT_EQ(currentPath(), "a.jpg");
    }

    static SharedImage plainPhoto() {
        PixelBuffer buffer(400, 300);
        for (int y = 0; y < 300; ++y)
            std::fill(buffer.row(y), buffer.row(y) + 400 * 4, std::uint8_t(128));
        return makeImage(std::move(buffer));
    }
    PhotoCanvasView& canvas() {
        return *static_cast<PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
    }
    void redraw() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            settle();
        }
    }
    // The mask being edited, where the window shows it.
    QPoint maskCentre() {
        const auto circle = canvas().model().maskModels.circular;
        if (!circle) return {};
        const Point c = circle->geometry.center;
        return canvas().mapTo(&window(), QPointF(c.x, c.y)).toPoint();
    }
    // Every row's development, the copies B that exist included.
    std::map<Row, PhotoParameters> rows() {
        std::map<Row, PhotoParameters> all;
        const PhotoLibrary& library = *state().library();
        for (const Photo& photo : library.photos())
            for (const RetouchSlot slot : {RetouchSlot::a, RetouchSlot::b})
                for (const PhotoSource source : {PhotoSource::jpeg, PhotoSource::raw})
                    if (const auto parameters = library.parameters(photo.relativePath, slot, source))
                        all[{photo.relativePath, slot, source}] = *parameters;
        return all;
    }
    void moveTo(QPoint at) {
        QTest::mouseMove(window().windowHandle(), at);
        redraw();
    }
    void wheelNotch(QPoint at) {
        QWheelEvent wheel(at, window().mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::LeftButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(window().windowHandle(), &wheel);
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(&window(), k, modifiers);
        release(&window(), k, modifiers);
    }

    // Presses inside the first mask of a.jpg and drags it, lets `change` happen with the button
    // held, drags on and lets go. The drag's first step stays with a.jpg's first mask; nothing else
    // changes: not the photo, copy, file or mask the change brought, nor a.jpg's other mask.
    void dragAcross(const std::function<void()>& change) {
        const std::map<Row, PhotoParameters> before = rows();
        const QPoint start = maskCentre();
        ASSERT_FALSE(start.isNull()) << "no mask guide";
        QTest::mousePress(window().windowHandle(), Qt::LeftButton, {}, start);
        moveTo(start + QPoint(40, 20));
        const Row own{"a.jpg", RetouchSlot::a, PhotoSource::jpeg};
        const PhotoParameters firstStep = rows().at(own);
        ASSERT_NE(firstStep, before.at(own)) << "the drag moved nothing";
        change();
        redraw();
        moveTo(start + QPoint(90, 50));
        moveTo(start + QPoint(-60, 70));
        QTest::mouseRelease(window().windowHandle(), Qt::LeftButton, {}, start + QPoint(-60, 70));
        redraw();
        for (const auto& [row, parameters] : rows()) {
            const auto& [path, slot, source] = row;
            SCOPED_TRACE(path + (slot == RetouchSlot::b ? " B" : " A") + (source == PhotoSource::raw ? " RAW" : ""));
            if (row == own) {
                EXPECT_EQ(parameters, firstStep);
            } else if (const auto earlier = before.find(row); earlier != before.end()) {
                EXPECT_EQ(parameters, earlier->second);
            } else {
                // A copy made during the drag: as its original, which the drag no longer changed.
                EXPECT_EQ(parameters, rows().at({path, RetouchSlot::a, source}));
            }
        }
    }
};

TEST_F(CanvasDragTest, AWheelNotchToTheNextPhotoEndsAMaskDrag) {
    dragAcross([&] { wheelNotch(maskCentre()); });
    EXPECT_NE(currentPath(), "a.jpg");
}

TEST_F(CanvasDragTest, TheDownKeyToTheNextPhotoEndsAMaskDrag) {
    dragAcross([&] { key(Qt::Key_Down); });
    EXPECT_NE(currentPath(), "a.jpg");
}

TEST_F(CanvasDragTest, AnotherCopyEndsAMaskDrag) {
    dragAcross([&] { key(Qt::Key_D, Qt::ControlModifier); });
    EXPECT_EQ(state().library()->currentSlot(), RetouchSlot::b);
}

TEST_F(CanvasDragTest, AnotherFileEndsAMaskDrag) {
    dragAcross([&] { key(Qt::Key_Tab); });
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::raw);
}

TEST_F(CanvasDragTest, AnotherMaskTabEndsAMaskDrag) {
    // A second pointer, a touch or a pen, picks the tab while the mouse holds the first mask (the
    // tabs: 全体, then the masks).
    dragAcross([&] { window().rootView()->selectView()->maskTabs()->tabButtons().at(2)->click(); });
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::mask(1));
}

// A pan of a zoomed photo stops with its file: the other file's view is not dragged along.
TEST_F(CanvasDragTest, AnotherFileEndsAPan) {
    state().selectEditTarget(ParameterEditTarget::global());
    const QPoint middle = canvas().mapTo(&window(), canvas().rect().center());
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent zoom(middle, window().mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                         Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window().windowHandle(), &zoom);
    }
    redraw();
    ASSERT_GT(state().library()->zoomState().scale, 1);
    QTest::mousePress(window().windowHandle(), Qt::LeftButton, {}, middle);
    moveTo(middle + QPoint(30, 0));
    ASSERT_NE(state().library()->zoomState().offset, Size{});
    key(Qt::Key_Tab);
    redraw();
    ASSERT_EQ(state().library()->currentSource(), PhotoSource::raw);
    const ZoomState switched = state().library()->zoomState();
    moveTo(middle + QPoint(60, 30));
    QTest::mouseRelease(window().windowHandle(), Qt::LeftButton, {}, middle + QPoint(60, 30));
    EXPECT_EQ(state().library()->zoomState(), switched);
}

} // namespace
} // namespace sorvin::test
