#include "app/app_state_fixture.hpp"
#include "canvas/photo_canvas_controller.hpp"
#include "library/photo_library.hpp"

namespace sorvin {
namespace {

using P = PhotoParameter;

// The canvas over a real application state with an open folder; the displayed image is a
// stand-in of 1000 x 500 pixels drawn in a 1000 x 500 area.
class PhotoCanvasControllerTest : public test::AppStateTest {
protected:
    void SetUp() override {
        addStandardPhotos();
        openPhotos();
    }

    PhotoCanvasController& controller() {
        if (!controller_) {
            controller_ = std::make_unique<PhotoCanvasController>(
                state(), queue, PhotoCanvasController::Hooks{[this] { ++focusClears; }, [] {}});
        }
        return *controller_;
    }

    void redraw() {
        const Photo& photo = *state().library()->currentPhoto();
        auto inputs = PhotoCanvasInputs::read(state(), photo, {1000, 500}, controller().pointer());
        inputs.displayImage = makeImage(PixelBuffer(1000, 500));
        controller().rebuild(inputs);
        interaction.apply(controller().inputs());
    }

    void addCircle() {
        state().presentMaskAddition();
        state().addMask(MaskKind::circular());
        ASSERT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
    }

    int maskValue(P p) {
        return state().library()->currentParameters().value(p, ParameterEditTarget::mask(0));
    }

    int focusClears = 0;
    PhotoInteraction interaction;

private:
    std::unique_ptr<PhotoCanvasController> controller_;
};

TEST_F(PhotoCanvasControllerTest, DraggingInsideACircularMaskMovesItsCentre) {
    addCircle();
    redraw();
    const auto& circle = controller().model().maskModels.circular;
    ASSERT_TRUE(circle);
    const Point c = circle->geometry.center;
    interaction.mouseDown(c, 1);
    ASSERT_TRUE(interaction.maskDragSession());
    interaction.mouseDragged({250, 400});
    interaction.mouseUp({250, 400});
    EXPECT_EQ(maskValue(P::circular_mask_center_x), 250);
    EXPECT_EQ(maskValue(P::circular_mask_center_y), 800);
    EXPECT_EQ(focusClears, 1);
    // The change is one undoable step.
    ASSERT_TRUE(undoManager->canUndo());
    undoManager->undo();
    EXPECT_NE(maskValue(P::circular_mask_center_x), 250);
}

TEST_F(PhotoCanvasControllerTest, ResizingFromACornerUsesTheValuesOfTheDragsStart) {
    addCircle();
    state().setCurrentParameter(P::circular_mask_size, 20);
    redraw();
    const auto& g = controller().model().maskModels.circular->geometry;
    const Point corner = g.handleCenters()[1];
    const Point twice{g.center.x + 2 * (corner.x - g.center.x), g.center.y + 2 * (corner.y - g.center.y)};
    interaction.mouseDown(corner, 1);
    interaction.mouseDragged(twice);
    redraw(); // the guide follows the new size, the session keeps the start
    interaction.mouseDragged(twice);
    EXPECT_EQ(maskValue(P::circular_mask_size), 40);
}

TEST_F(PhotoCanvasControllerTest, WithoutAGuideADragPansOnlyAZoomedPhoto) {
    redraw();
    interaction.mouseDown({500, 250}, 1);
    EXPECT_FALSE(interaction.maskDragSession());
    interaction.mouseDragged({520, 250});
    EXPECT_EQ(state().library()->zoomState(), ZoomState{});
    state().setZoomScale(2, {500, 250}, {1000, 500}, {1000, 500});
    redraw();
    interaction.mouseDown({500, 250}, 1);
    interaction.mouseDragged({520, 240});
    EXPECT_EQ(state().library()->zoomState().offset, (Size{20, -10}));
    // A double click goes back to the fitted photo.
    interaction.mouseDown({520, 240}, 2);
    EXPECT_EQ(state().library()->zoomState(), ZoomState{});
}

TEST_F(PhotoCanvasControllerTest, PinchZoomsAboutThePointerAndScrollingMovesThroughThePhotos) {
    redraw();
    interaction.magnify(1.0, {500, 250});
    EXPECT_EQ(state().library()->zoomState().scale, 2);
    state().library()->setZoomState({});
    redraw();
    const std::string first = currentPath();
    EXPECT_TRUE(interaction.scroll({0, 15, false, false})); // one notch of a wheel
    EXPECT_NE(currentPath(), first);
    state().setAdjustmentInputFocused(true);
    redraw();
    const std::string second = currentPath();
    EXPECT_FALSE(interaction.scroll({0, 15, false, false}));
    EXPECT_EQ(currentPath(), second);
}

TEST_F(PhotoCanvasControllerTest, BadgeSwitchesAfterTypedInputHasLetGo) {
    const Photo photo = *state().library()->currentPhoto();
    ASSERT_TRUE(photo.hasRawCompanion());
    state().setAdjustmentInputFocused(true);
    controller().toggleSourceFromBadge(photo);
    EXPECT_FALSE(state().adjustmentInputIsFocused());
    EXPECT_EQ(focusClears, 1);
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::jpeg);
    settle();
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::raw);
}

} // namespace
} // namespace sorvin
