#include "canvas/crop_guide_geometry.hpp"
#include "canvas/plane_math.hpp"
#include "canvas_test_support.hpp"

#include <numbers>

namespace sorvin {
namespace {

using test::expectNear;

CropGuideGeometry guide() {
    CropGuideGeometry g;
    g.areaSize = {1000, 800};
    g.sourceSize = {600, 400};
    g.fittedImageSize = {900, 600};
    return g;
}

TEST(CropGuideGeometry, UncutPhotoKeepsTheWholeFittedRectangle) {
    const auto g = guide();
    EXPECT_EQ(g.remainingRect(), (Rect{50, 100, 900, 600}));
    const auto polygon = g.rotatedPhotoPolygon();
    expectNear(polygon[0], {50, 100});
    expectNear(polygon[2], {950, 700});
}

TEST(CropGuideGeometry, CropAndZoomMoveTheKeptRectangle) {
    auto g = guide();
    g.crop = {.aspect = CropAspect::original(), .sizeP = 50, .xM = 5000, .yM = 5000};
    g.zoomScale = 2;
    g.offset = {10, -10};
    // 3 points per pixel: the lower-right quarter of a 1800 x 1200 photo centred on (510, 390).
    EXPECT_EQ(g.remainingRect(), (Rect{510, 390, 900, 600}));
    const auto lines = g.gridLines();
    expectNear(lines[0].start, {810, 390});
    expectNear(lines[1].end, {1110, 990});
    expectNear(lines[2].start, {510, 590});
    expectNear(lines[3].end, {1410, 790});
}

TEST(CropGuideGeometry, FreeRotationKeepsAnAxisAlignedRectangleInsideTheTurnedPhoto) {
    auto g = guide();
    g.rotation = 10;
    const Rect kept = g.remainingRect();
    EXPECT_LT(kept.width, 900);
    EXPECT_NEAR(kept.midX(), 500, 1e-9);
    EXPECT_NEAR(kept.midY(), 400, 1e-9);
    const auto polygon = g.rotatedPhotoPolygon();
    expectNear(polygon[0], plane::add({500, 400}, plane::rotated({-450, -300}, 10 * std::numbers::pi / 180)));
}

TEST(CropGuideGeometry, EmptySourceCountsAsOnePixel) {
    auto g = guide();
    g.sourceSize = {0, 0};
    g.fittedImageSize = {10, 10};
    EXPECT_EQ(g.remainingRect(), (Rect{495, 395, 10, 10}));
}

} // namespace
} // namespace sorvin
