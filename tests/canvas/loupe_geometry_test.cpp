#include "canvas/loupe_geometry.hpp"
#include "canvas_test_support.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <cstring>

namespace sorvin {
namespace {

using test::expectNear;

LoupeVisibility visible() {
    LoupeVisibility v;
    v.loupeOn = true;
    v.hasImage = true;
    v.pointerInside = true;
    v.pointer = {50, 50};
    v.imageRect = {0, 0, 200, 100};
    v.visibleCropRect = {0, 0, 200, 100};
    return v;
}

TEST(LoupeVisibility, EveryConditionMustHold) {
    EXPECT_TRUE(visible().shouldShow());
    const std::function<void(LoupeVisibility&)> breakers[] = {
        [](LoupeVisibility& v) { v.loupeOn = false; },
        [](LoupeVisibility& v) { v.modalPresented = true; },
        [](LoupeVisibility& v) { v.zoomScale = 1.5; },
        [](LoupeVisibility& v) { v.hasImage = false; },
        [](LoupeVisibility& v) { v.sourceLoading = true; },
        [](LoupeVisibility& v) { v.pointerInside = false; },
        [](LoupeVisibility& v) {
            v.pointer = {200, 50};
        }, // the right edge is outside
        [](LoupeVisibility& v) {
            v.cropInsideOnly = true;
            v.visibleCropRect = {60, 0, 100, 100};
        },
    };
    for (const auto& breakIt : breakers) {
        auto v = visible();
        breakIt(v);
        EXPECT_FALSE(v.shouldShow());
    }
}

TEST(LoupeVisibility, TestsThePointerOnTheUnrotatedPhoto) {
    // A 200 x 100 photo turned a quarter stands 100 wide: 70 left of its centre lies inside the
    // unrotated image rectangle but beside the turned photo.
    auto v = visible();
    v.rotation = 90;
    v.pointer = {30, 50};
    EXPECT_FALSE(v.shouldShow());
    v.pointer = {100, 130}; // 80 below the centre turns back to 80 right of it
    EXPECT_TRUE(v.shouldShow());
}

TEST(LoupeGeometry, RegionIsFiveTimesTheCanvasScale) {
    // 6000 pixels fitted to 1000 points (6 pixels per point), a 500-point loupe.
    const auto g = LoupeGeometry::make(6000, 4000, {1000, 666.6666666666666}, {0, 0, 1000, 666.6666666666666},
                                       {500, 300}, 0, 500);
    ASSERT_TRUE(g.region);
    EXPECT_EQ(*g.region, (Rect{2700, 1500, 600, 600}));
    EXPECT_DOUBLE_EQ(g.displayScale(), 5.0 / 6);
    expectNear(g.regionCenterOffset(), {0, 0}, 1e-9);
}

TEST(LoupeGeometry, CornerRegionIsCutAndPlacedSoTheCornerSitsInTheCentre) {
    const auto g = LoupeGeometry::make(6000, 4000, {1000, 666.6666666666666}, {0, 0, 1000, 666.6666666666666},
                                       {0, 0}, 0, 500);
    ASSERT_TRUE(g.region);
    EXPECT_EQ(*g.region, (Rect{0, 0, 300, 300}));
    // The region's centre is 150 pixels right and below the pointer's pixel: 125 points.
    expectNear(g.regionCenterOffset(), {125, 125}, 1e-9);
}

TEST(LoupeGeometry, EmptyRegionOutsideThePhotoOrWithoutSizes) {
    EXPECT_FALSE(LoupeGeometry::make(600, 400, {100, 50}, {0, 0, 100, 50}, {-500, 20}, 0, 300).region);
    EXPECT_FALSE(LoupeGeometry::make(600, 400, {0, 0}, {0, 0, 0, 0}, {0, 0}, 0, 300).region);
    EXPECT_FALSE(LoupeGeometry::make(600, 400, {100, 50}, {0, 0, 100, 50}, {10, 10}, 0, 0).region);
}

TEST(LoupeGeometry, VignetteFrameFollowsTheCropOnlyWithAVignette) {
    const auto g = LoupeGeometry::make(400, 200, {400, 200}, {0, 0, 400, 200}, {300, 100}, 0, 100);
    ASSERT_TRUE(g.region);
    PhotoParameters parameters;
    const ManualCrop rightHalf{.aspect = CropAspect::ratio(1, 1), .sizeP = 100, .xM = 5000, .yM = 0};
    EXPECT_FALSE(g.vignetteFrame(parameters, rightHalf));
    parameters.setValue(-40, PhotoParameter::vignette_amount);
    const auto frame = g.vignetteFrame(parameters, rightHalf);
    ASSERT_TRUE(frame);
    // The crop's centre (299.5, 99.5) in the region's own pixels.
    EXPECT_DOUBLE_EQ(frame->centerX, 299.5 - g.region->minX());
    EXPECT_DOUBLE_EQ(frame->centerY, 99.5 - g.region->minY());
    EXPECT_EQ(frame->width, 200);
    EXPECT_EQ(frame->height, 200);
}

SharedImage gradient(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 7;
            p[3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

TEST(LoupeRenderer, NeutralParametersGiveThePlainCut) {
    const auto source = gradient(200, 100);
    const auto g = LoupeGeometry::make(200, 100, {200, 100}, {0, 0, 200, 100}, {0, 50}, 0, 50);
    ASSERT_TRUE(g.region);
    const auto piece = LoupeRenderer::render(source, PhotoParameters{}, g, {});
    ASSERT_TRUE(piece);
    ASSERT_EQ(piece->width(), static_cast<int>(g.region->width));
    ASSERT_EQ(piece->height(), static_cast<int>(g.region->height));
    const std::uint8_t* first = piece->row(0);
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[1], static_cast<std::uint8_t>(g.region->minY()));
    EXPECT_EQ(LoupeRenderer::render(
                  source, PhotoParameters{},
                  LoupeGeometry::make(200, 100, {200, 100}, {0, 0, 200, 100}, {-900, 0}, 0, 50), {}),
              nullptr);
}

TEST(LoupeRenderer, DevelopsOnlyTheRegionWithGeometryAndVignette) {
    const auto source = gradient(200, 100);
    PhotoParameters parameters;
    parameters.setValue(30, PhotoParameter::geometry_distortion);
    parameters.setValue(50, PhotoParameter::exposure);
    parameters.setValue(-50, PhotoParameter::vignette_amount);
    const auto g = LoupeGeometry::make(200, 100, {200, 100}, {0, 0, 200, 100}, {100, 50}, 0, 40);
    const auto piece = LoupeRenderer::render(source, parameters, g, {});
    ASSERT_TRUE(piece);
    EXPECT_EQ(piece->width(), static_cast<int>(g.region->width));
    EXPECT_EQ(piece->height(), static_cast<int>(g.region->height));
}

TEST(LoupeRenderer, MasksLieOnTheWholePhotoNotOnTheRegion) {
    const auto source = gradient(200, 100);
    PhotoParameters parameters =
        test::withMask(MaskKind::circular(), {{PhotoParameter::circular_mask_amount, 100},
                                              {PhotoParameter::circular_mask_center_x, 700},
                                              {PhotoParameter::circular_mask_center_y, 300},
                                              {PhotoParameter::circular_mask_size, 40},
                                              {PhotoParameter::circular_mask_feather, 50},
                                              {PhotoParameter::exposure, 60}});
    const auto linear = parameters.appendMask(MaskKind::linear());
    ASSERT_TRUE(linear);
    for (const auto& [p, v] : {std::pair{PhotoParameter::linear_mask_amount, 100},
                               {PhotoParameter::linear_mask_position, 60},
                               {PhotoParameter::linear_mask_angle, 25},
                               {PhotoParameter::linear_mask_width, 40},
                               {PhotoParameter::exposure, -70}})
        parameters.setValue(v, p, ParameterEditTarget::mask(*linear));
    parameters.setValue(20, PhotoParameter::contrast);

    // A region right of the centre and near the top, crossed by the circle's edge and the band.
    const auto g = LoupeGeometry::make(200, 100, {200, 100}, {0, 0, 200, 100}, {150, 30}, 0, 200);
    ASSERT_TRUE(g.region);
    const Rect region = *g.region;
    const auto piece = LoupeRenderer::render(source, parameters, g, {});
    const auto whole =
        ParameterAdjustment::applying(source, parameters, std::nullopt, MaskKindCatalog::current());
    ASSERT_TRUE(piece);
    ASSERT_TRUE(whole);
    ASSERT_EQ(piece->width(), static_cast<int>(region.width));
    ASSERT_EQ(piece->height(), static_cast<int>(region.height));
    int differing = 0;
    for (int y = 0; y < piece->height(); ++y) {
        const std::uint8_t* expected =
            whole->row(y + static_cast<int>(region.minY())) + static_cast<std::size_t>(region.minX()) * 4;
        differing += std::memcmp(piece->row(y), expected, static_cast<std::size_t>(piece->width()) * 4) != 0;
    }
    EXPECT_EQ(differing, 0) << "rows of the loupe unlike the developed photo";
}

} // namespace
} // namespace sorvin
