#include "canvas/mask_interaction.hpp"
#include "canvas_test_support.hpp"

#include <cmath>
#include <numbers>

namespace sorvin {
namespace {

using P = PhotoParameter;
using test::identityMapping;
using test::withMask;

constexpr double pi = std::numbers::pi;
const ParameterEditTarget kMask0 = ParameterEditTarget::mask(0);

struct AngleCase {
    int initial;
    double from;
    double to;
    int linear;
    int circular;
};

TEST(MaskAngleDrag, TurnsByThePointerWrappedAndStopsAtTheEnds) {
    const AngleCase cases[] = {
        {0, 0, 1, 32, 64},         // one radian: round(100 / pi), round(200 / pi)
        {0, 0, pi / 2, 50, 100},   // a quarter turn
        {60, 0, pi / 2, 100, 100}, // past the end stops there
        {-90, 0, -pi / 2, -100, -100},
        {0, pi - 0.1, -pi + 0.1, 6, 13}, // across the seam: +0.2 radians, not -6.08
        {0, -pi + 0.1, pi - 0.1, -6, -13},
        {10, 0.3, 0.3, 10, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinearMaskInteraction::angleValue(c.initial, c.from, c.to), c.linear)
            << c.from << "->" << c.to;
        EXPECT_EQ(CircularMaskInteraction::rotatedAngle(c.initial, c.from, c.to), c.circular)
            << c.from << "->" << c.to;
    }
}

struct ResizeCase {
    Point grabbed;
    Point current;
    int size;
    int aspect;
};

TEST(CircularMaskResize, SizeFromTheAreaAndAspectFromTheStretch) {
    const ResizeCase cases[] = {
        {{-50, -50}, {-100, -100}, 60, 0},  // doubled both ways
        {{-50, -50}, {-200, -200}, 100, 0}, // capped
        {{50, 50}, {100, 50}, 42, 50},      // only wider: sqrt 2 larger, aspect + 50
        {{50, 50}, {-100, -100}, 60, 0},    // across the centre: the mirror grows again
        {{50, 50}, {0, 50}, 1, -100},       // the factor never falls below 0.001
    };
    for (const auto& c : cases) {
        const auto values = CircularMaskInteraction::resizedValues(30, 0, c.grabbed, c.current);
        ASSERT_TRUE(values);
        EXPECT_EQ(*values,
                  (MaskShapeValues{{P::circular_mask_size, c.size}, {P::circular_mask_aspect, c.aspect}}))
            << c.current.x << "," << c.current.y;
    }
    EXPECT_FALSE(CircularMaskInteraction::resizedValues(30, 0, {0, 50}, {10, 10}));
}

// A circle of radius 100 around (500, 250) on an unzoomed 1000 x 500 view.
struct CircularDrag : ::testing::Test {
    PhotoParameters parameters = withMask(MaskKind::circular(), {{P::circular_mask_center_x, 500},
                                                                 {P::circular_mask_center_y, 500},
                                                                 {P::circular_mask_size, 40},
                                                                 {P::circular_mask_angle, 20}});
    MaskViewMapping mapping = identityMapping();
    MaskOverlayModels models = MaskOverlayModels::make(parameters, kMask0, mapping);
    MaskDragContext context{&parameters, kMask0, false};

    std::optional<MaskShapeValues> dragTo(const MaskDragSession& session, Point point,
                                          const ZoomState& zoom = {}) const {
        return MaskDragController::drag(session, context, point, mapping, {500, 250}, zoom);
    }
};

TEST_F(CircularDrag, InsideMovesTheCentreToThePointerClampedToThePhoto) {
    const auto session = MaskDragController::begin(models, context, {530, 260});
    ASSERT_TRUE(session);
    EXPECT_EQ(*session, MaskDragSession(CircularMaskDragSession{CircularMaskMove{}}));
    EXPECT_EQ(dragTo(*session, {250, 125}),
              (MaskShapeValues{{P::circular_mask_center_x, 250}, {P::circular_mask_center_y, 250}}));
    EXPECT_EQ(dragTo(*session, {-40, 900}),
              (MaskShapeValues{{P::circular_mask_center_x, 0}, {P::circular_mask_center_y, 1000}}));
    // Zoomed 2x about the view's centre and panned 100 right: (700, 250) is (800/2 ... ) back to 800 - 100.
    EXPECT_EQ(dragTo(*session, {700, 250}, ZoomState{2, {100, 0}}),
              (MaskShapeValues{{P::circular_mask_center_x, 550}, {P::circular_mask_center_y, 500}}));
}

TEST_F(CircularDrag, CornerHandleResizesFromTheStartValues) {
    const auto corner = models.circular->geometry.handleCenters()[2];
    const auto session = MaskDragController::begin(models, context, corner);
    ASSERT_TRUE(session);
    const auto& resize = std::get<CircularMaskResize>(std::get<CircularMaskDragSession>(*session).mode);
    EXPECT_EQ(resize.size, 40);
    const Point c = models.circular->geometry.center;
    const Point twice{c.x + 2 * (corner.x - c.x), c.y + 2 * (corner.y - c.y)};
    EXPECT_EQ(dragTo(*session, twice),
              (MaskShapeValues{{P::circular_mask_size, 80}, {P::circular_mask_aspect, 0}}));
}

TEST_F(CircularDrag, KnobRotatesAndLoupeOrForeignTargetsStopEverything) {
    const Point knob = models.circular->geometry.rotationKnob();
    const auto session = MaskDragController::begin(models, context, knob);
    ASSERT_TRUE(session);
    ASSERT_TRUE(std::holds_alternative<CircularMaskRotate>(std::get<CircularMaskDragSession>(*session).mode));
    // A quarter turn clockwise about the centre adds 100 to the start value.
    const Point c = models.circular->geometry.center;
    const Point turned{c.x - (knob.y - c.y), c.y + (knob.x - c.x)};
    EXPECT_EQ(dragTo(*session, turned), (MaskShapeValues{{P::circular_mask_angle, 100}}));
    EXPECT_FALSE(dragTo(*session, c));

    MaskDragContext loupe = context;
    loupe.loupeOn = true;
    EXPECT_FALSE(MaskDragController::begin(models, loupe, knob));
    EXPECT_FALSE(MaskDragController::drag(*session, loupe, turned, mapping, {500, 250}, {}));
    MaskDragContext global = context;
    global.target = ParameterEditTarget::global();
    EXPECT_FALSE(MaskDragController::drag(*session, global, turned, mapping, {500, 250}, {}));
    // A linear session on a circular mask changes nothing.
    const MaskDragSession linear = LinearMaskDragSession{LinearMaskPositionDrag{{0, 0}, 50, {1, 0}, 100}};
    EXPECT_FALSE(dragTo(linear, {100, 0}));
    // Outside the guide a press starts nothing, so the drag pans.
    EXPECT_FALSE(MaskDragController::begin(models, context, {50, 50}));
}

TEST_F(CircularDrag, PointerStyleOverTheGuide) {
    const auto& g = models.circular->geometry;
    EXPECT_EQ(MaskDragController::pointerStyle(models, g.handleCenters()[0], false),
              CircularMaskPointerStyle::crosshair);
    EXPECT_EQ(MaskDragController::pointerStyle(models, g.rotationKnob(), false),
              CircularMaskPointerStyle::crosshair);
    EXPECT_EQ(MaskDragController::pointerStyle(models, g.center, false), CircularMaskPointerStyle::openHand);
    EXPECT_EQ(MaskDragController::pointerStyle(models, {5, 5}, false), CircularMaskPointerStyle::arrow);
    EXPECT_EQ(MaskDragController::pointerStyle(models, {5, 5}, true), CircularMaskPointerStyle::closedHand);
    EXPECT_EQ(MaskDragController::pointerStyle({}, g.center, false), CircularMaskPointerStyle::arrow);
}

struct LinearDrag : ::testing::Test {
    PhotoParameters parameters =
        withMask(MaskKind::linear(),
                 {{P::linear_mask_position, 50}, {P::linear_mask_width, 30}, {P::linear_mask_angle, 0}});
    MaskViewMapping mapping = identityMapping();
    MaskOverlayModels models = MaskOverlayModels::make(parameters, kMask0, mapping);
    MaskDragContext context{&parameters, kMask0, false};

    std::optional<MaskShapeValues> dragTo(const MaskDragSession& session, Point point) const {
        return MaskDragController::drag(session, context, point, mapping, {500, 250}, {});
    }
};

TEST_F(LinearDrag, PositionWidthAndAngleHandles) {
    ASSERT_TRUE(models.linear);
    const auto& model = *models.linear;
    const double length = model.geometry.referenceLength;
    const Point m = model.midpoint();

    const auto position = MaskDragController::begin(models, context, m);
    ASSERT_TRUE(position);
    EXPECT_EQ(dragTo(*position, {m.x + length, m.y + 40}), (MaskShapeValues{{P::linear_mask_position, 100}}));
    EXPECT_EQ(dragTo(*position, {m.x - length / 5, m.y}), (MaskShapeValues{{P::linear_mask_position, 40}}));

    const auto width = MaskDragController::begin(models, context, model.widthHandleCenter());
    ASSERT_TRUE(width);
    EXPECT_EQ(dragTo(*width, {m.x - length / 2, m.y + 30}), (MaskShapeValues{{P::linear_mask_width, 50}}));

    const auto angle = MaskDragController::begin(models, context, model.angleHandleCenter());
    ASSERT_TRUE(angle);
    // The angle handle sits left of the midpoint; moving it above turns by a quarter.
    EXPECT_EQ(dragTo(*angle, {m.x, m.y - 40}), (MaskShapeValues{{P::linear_mask_angle, 50}}));
    EXPECT_FALSE(dragTo(*angle, m));

    EXPECT_EQ(MaskDragController::pointerStyle(models, m, false), CircularMaskPointerStyle::crosshair);
    EXPECT_EQ(MaskDragController::pointerStyle(models, {m.x, m.y + 100}, false),
              CircularMaskPointerStyle::arrow);
    // Only the handles start a drag on a linear guide.
    EXPECT_FALSE(MaskDragController::begin(models, context, {m.x, m.y + 100}));
}

} // namespace
} // namespace sorvin
