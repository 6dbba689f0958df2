#include "canvas/mask_overlay_models.hpp"
#include "canvas/plane_math.hpp"
#include "canvas_test_support.hpp"

#include <cmath>
#include <numbers>

namespace sorvin {
namespace {

using P = PhotoParameter;
using test::expectNear;
using test::identityMapping;
using test::withMask;

const ParameterEditTarget kMask0 = ParameterEditTarget::mask(0);

PhotoParameters circle(int invert = 0) {
    // Centre (500, 250), radius 0.5 * 40% of 500 = 100 pixels.
    return withMask(MaskKind::circular(), {{P::circular_mask_center_x, 500},
                                           {P::circular_mask_center_y, 500},
                                           {P::circular_mask_size, 40},
                                           {P::circular_mask_aspect, 0},
                                           {P::circular_mask_angle, 0},
                                           {P::circular_mask_feather, 20},
                                           {P::circular_mask_invert, invert}});
}

TEST(CircularMaskOverlayModel, IsThePlanPlacedOnTheView) {
    auto mapping = identityMapping();
    mapping.zoomScale = 2;
    mapping.shift = {10, -20};
    const auto model = CircularMaskOverlayModel::make(circle(), kMask0, mapping);
    ASSERT_TRUE(model);
    // Zoomed about the fitted centre (500, 250), which is also the mask's centre.
    expectNear(model->geometry.center, {510, 230});
    EXPECT_DOUBLE_EQ(model->geometry.outerAxisA, 200);
    EXPECT_DOUBLE_EQ(model->geometry.outerAxisB, 200);
    EXPECT_DOUBLE_EQ(model->geometry.feather, 0.2);
    EXPECT_EQ(model->target, kMask0);
}

TEST(CircularMaskOverlayModel, TurnsWithTheDisplayRotation) {
    auto parameters = circle();
    parameters.setValue(200, P::circular_mask_center_x, kMask0); // (200, 250)
    parameters.setValue(50, P::circular_mask_angle, kMask0);     // an eighth turn
    auto mapping = identityMapping();
    mapping.rotationRadians = std::numbers::pi / 2;
    const auto model = CircularMaskOverlayModel::make(parameters, kMask0, mapping);
    ASSERT_TRUE(model);
    // 300 points left of the centre turns to 300 points above it.
    expectNear(model->geometry.center, {500, -50});
    EXPECT_NEAR(model->geometry.angleRadians, std::numbers::pi / 4 + std::numbers::pi / 2, 1e-12);
}

TEST(CircularMaskOverlayModel, NoneForAFlatEllipseOrAnUnusableMapping) {
    auto flat = circle();
    flat.setValue(0, P::circular_mask_size, kMask0);
    EXPECT_FALSE(CircularMaskOverlayModel::make(flat, kMask0, identityMapping()));
    auto empty = identityMapping();
    empty.fittedRect.width = 0;
    EXPECT_FALSE(CircularMaskOverlayModel::make(circle(), kMask0, empty));
}

TEST(CircularMaskOverlayGeometry, HandlesSitOnTheBoundingBoxAndAreHitWithinElevenPoints) {
    const CircularMaskOverlayGeometry g{.center = {100, 100}, .outerAxisA = 50, .outerAxisB = 30};
    const auto corners = g.handleCenters();
    expectNear(corners[0], {50, 70});
    expectNear(corners[1], {150, 70});
    expectNear(corners[2], {150, 130});
    expectNear(corners[3], {50, 130});
    EXPECT_EQ(g.handleIndex({150, 141}), 2);
    EXPECT_EQ(g.handleIndex({150, 141.01}), std::nullopt);
    EXPECT_TRUE(g.contains({150, 100}));
    EXPECT_FALSE(g.contains({150.01, 100}));
    EXPECT_FALSE(g.contains({100, 131}));
    const auto stalk = g.rotationConnector();
    expectNear(stalk.start, {100, 70});
    expectNear(stalk.end, {100, 46});
}

TEST(CircularMaskOverlayGeometry, ContainsNothingWhenFlat) {
    const CircularMaskOverlayGeometry g{.center = {0, 0}, .outerAxisA = 0, .outerAxisB = 30};
    EXPECT_FALSE(g.contains({0, 0}));
}

TEST(CircularMaskOverlayGeometry, EllipsePathIsClosedWith128Steps) {
    const CircularMaskOverlayGeometry g{
        .center = {10, 20}, .outerAxisA = 4, .outerAxisB = 2, .angleRadians = std::numbers::pi / 2};
    const auto path = g.ellipsePath(0.5);
    ASSERT_EQ(path.size(), 129u);
    expectNear(path.front(), {10, 22});
    expectNear(path.back(), path.front(), 1e-9);
    expectNear(path[32], {9, 20});
}

TEST(CircularMaskOverlayModel, WhiskersPointInwardUnlessInverted) {
    const auto normal = CircularMaskOverlayModel::make(circle(0), kMask0, identityMapping());
    const auto inverted = CircularMaskOverlayModel::make(circle(50), kMask0, identityMapping());
    ASSERT_TRUE(normal && inverted);
    const auto in = normal->whiskers();
    const auto out = inverted->whiskers();
    ASSERT_EQ(in.size(), 12u);
    ASSERT_EQ(out.size(), 12u);
    const Point c{500, 250};
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_NEAR(plane::distance(in[k].start, c), 100, 1e-9);
        EXPECT_NEAR(plane::distance(in[k].end, c), 94, 1e-9);
        EXPECT_NEAR(plane::distance(out[k].end, c), 106, 1e-9);
    }
}

struct ClipCase {
    Point origin;
    Point direction;
    std::optional<MaskGuideSegment> expected;
};

TEST(LinearMaskOverlayModel, ClipsInfiniteLinesToTheRectangle) {
    const Rect rect{0, 0, 100, 50};
    const ClipCase cases[] = {
        {{50, 25}, {1, 0}, MaskGuideSegment{{0, 25}, {100, 25}}},
        {{50, 25}, {0, -1}, MaskGuideSegment{{50, 50}, {50, 0}}},
        {{0, 0}, {2, 1}, MaskGuideSegment{{0, 0}, {100, 50}}},
        {{150, 25}, {0, 1}, std::nullopt}, // vertical, beside the rectangle
        {{50, -1}, {1, 0}, std::nullopt},  // horizontal, above it
        {{200, 0}, {1, -1}, std::nullopt}, // diagonal that misses
        {{50, 25}, {0, 0}, std::nullopt},  // no direction
    };
    for (const auto& c : cases) {
        const auto clipped = LinearMaskOverlayModel::clipInfiniteLine(c.origin, c.direction, rect);
        ASSERT_EQ(clipped.has_value(), c.expected.has_value()) << c.origin.x << "," << c.origin.y;
        if (clipped) {
            expectNear(clipped->start, c.expected->start);
            expectNear(clipped->end, c.expected->end);
        }
    }
}

PhotoParameters band(int position, int width, int angle = 0, int invert = 0) {
    return withMask(MaskKind::linear(), {{P::linear_mask_position, position},
                                         {P::linear_mask_width, width},
                                         {P::linear_mask_angle, angle},
                                         {P::linear_mask_invert, invert}});
}

TEST(LinearMaskOverlayModel, CentreLineAndBandEdgesAcrossTheImage) {
    // Angle 0: the position grows to the right; reference length is half the diagonal.
    const double length = std::sqrt(1000.0 * 1000 + 500 * 500) / 2;
    const auto model = LinearMaskOverlayModel::make(band(50, 20), kMask0, identityMapping());
    ASSERT_TRUE(model);
    const auto& g = model->geometry;
    EXPECT_NEAR(g.referenceLength, length, 1e-9);
    expectNear(g.increasingDirection, {1, 0});
    expectNear(g.lineDirection, {0, 1});
    EXPECT_NEAR(g.centerLine.start.x, 500, 1e-9);
    EXPECT_NEAR(std::abs(g.centerLine.end.y - g.centerLine.start.y), 500, 1e-9);
    ASSERT_TRUE(g.zeroLine && g.oneLine);
    EXPECT_NEAR(g.zeroLine->start.x, 500 - 0.2 * length, 1e-9);
    EXPECT_NEAR(g.oneLine->start.x, 500 + 0.2 * length, 1e-9);
    EXPECT_EQ(model->width, 20);
}

TEST(LinearMaskOverlayModel, NoBandEdgesAtWidthZeroAndNoModelWhenTheLineMissesThePhoto) {
    const auto thin = LinearMaskOverlayModel::make(band(50, 0), kMask0, identityMapping());
    ASSERT_TRUE(thin);
    EXPECT_FALSE(thin->geometry.zeroLine);
    EXPECT_FALSE(thin->geometry.oneLine);
    // Position 100 at angle 0 lies one reference length right of the centre: beyond the edge.
    EXPECT_FALSE(LinearMaskOverlayModel::make(band(100, 30), kMask0, identityMapping()));
    // A wide band at the edge keeps its inner edge line only.
    const auto edge = LinearMaskOverlayModel::make(band(80, 100), kMask0, identityMapping());
    ASSERT_TRUE(edge);
    EXPECT_TRUE(edge->geometry.zeroLine);
    EXPECT_FALSE(edge->geometry.oneLine);
}

TEST(LinearMaskOverlayModel, HandlesFollowTheSideAndKeepTheirDistance) {
    LinearMaskOverlayModel model;
    model.geometry.referenceLength = 100;
    model.geometry.increasingDirection = {1, 0};
    model.geometry.lineDirection = {0, 1};
    model.geometry.centerLine = {{200, 0}, {200, 400}};
    model.width = 0;
    expectNear(model.widthHandleCenter(), {212, 200});
    model.width = 50;
    expectNear(model.widthHandleCenter(), {250, 200});
    expectNear(model.angleHandleCenter(), {160, 200});
    model.inversion = 50;
    expectNear(model.widthHandleCenter(), {150, 200});
    expectNear(model.angleHandleCenter(), {240, 200});
    EXPECT_EQ(model.handle({150, 210}), LinearMaskHandle::width);
    EXPECT_EQ(model.handle({240, 189}), LinearMaskHandle::angle);
    EXPECT_EQ(model.handle({200, 211}), LinearMaskHandle::position);
    EXPECT_EQ(model.handle({200, 212}), std::nullopt);
    const auto whiskers = model.whiskers();
    ASSERT_EQ(whiskers.size(), 12u);
    expectNear(whiskers[0].start, {200, 400.0 / 24});
    expectNear(whiskers[0].end, {194, 400.0 / 24});
}

TEST(MaskOverlayModels, OneGuideForTheEditedMaskOnly) {
    auto parameters = circle();
    parameters.appendMask(MaskKind::linear());
    parameters.setValue(50, P::linear_mask_position, ParameterEditTarget::mask(1));
    const auto mapping = identityMapping();
    const auto first = MaskOverlayModels::make(parameters, kMask0, mapping);
    EXPECT_TRUE(first.circular && !first.linear);
    const auto second = MaskOverlayModels::make(parameters, ParameterEditTarget::mask(1), mapping);
    EXPECT_TRUE(!second.circular && second.linear);
    EXPECT_TRUE(MaskOverlayModels::make(parameters, ParameterEditTarget::global(), mapping).empty());
    EXPECT_TRUE(MaskOverlayModels::make(parameters, ParameterEditTarget::mask(2), mapping).empty());
    EXPECT_TRUE(MaskOverlayModels::make(parameters, ParameterEditTarget::mask(-1), mapping).empty());
}

} // namespace
} // namespace sorvin
