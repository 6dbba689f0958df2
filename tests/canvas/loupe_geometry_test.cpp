#include "canvas/loupe_geometry.hpp"
#include "canvas_test_support.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/vignette_adjustment.hpp"
#include "export/exporter_rendering.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "support/screen_picture.hpp"
#include "support/test_images.hpp"
#include "support/test_support.hpp"

#include <cmath>
#include <cstring>
#include <numbers>

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

TEST(LoupeGeometry, ThePlacementPutsTheCropInTheRegionsPixels) {
    const auto g = LoupeGeometry::make(400, 200, {400, 200}, {0, 0, 400, 200}, {300, 100}, 0, 100);
    ASSERT_TRUE(g.region);
    const ManualCrop rightHalf{.aspect = CropAspect::ratio(1, 1), .sizeP = 100, .xM = 5000, .yM = 0};
    const int x = static_cast<int>(g.region->minX()), y = static_cast<int>(g.region->minY());
    const DevelopmentPlacement placement = g.placement(rightHalf, x, y);
    EXPECT_EQ(placement.photoWidth, 400);
    EXPECT_EQ(placement.photoHeight, 200);
    const VignetteFrame frame = VignetteAdjustment::frame(placement);
    // The crop's centre (299.5, 99.5) in the region's own pixels.
    EXPECT_DOUBLE_EQ(frame.centerX, 299.5 - x);
    EXPECT_DOUBLE_EQ(frame.centerY, 99.5 - y);
    EXPECT_EQ(frame.width, 200);
    EXPECT_EQ(frame.height, 200);
}

TEST(LoupeRenderer, NeutralParametersGiveThePlainCut) {
    const auto source = test::coordinates(200, 100);
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
    const auto source = test::coordinates(200, 100);
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

// The loupe over a whole photo developed as the screen develops it: its region, developed alone,
// has the same bytes there.
int rowsUnlike(const Image& piece, const Image& whole, const Rect& region) {
    int differing = 0;
    for (int y = 0; y < piece.height(); ++y) {
        const std::uint8_t* expected =
            whole.row(y + static_cast<int>(region.minY())) + static_cast<std::size_t>(region.minX()) * 4;
        differing += std::memcmp(piece.row(y), expected, static_cast<std::size_t>(piece.width()) * 4) != 0;
    }
    return differing;
}

// Masks lie on the whole photo, not on the region, whether the photo is turned or corrected for
// its lens.
TEST(LoupeRenderer, MasksLieOnTheWholePhotoNotOnTheRegion) {
    const auto source = test::coordinates(200, 100);
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
    PhotoParameters corrected = parameters;
    corrected.setValue(30, PhotoParameter::geometry_distortion);
    corrected.setValue(-20, PhotoParameter::geometry_perspective_vertical);

    struct Case {
        double rotation;
        const PhotoParameters* parameters;
    };
    for (const Case& c : {Case{0, &parameters}, Case{90, &parameters}, Case{-7.5, &parameters},
                          Case{0, &corrected}, Case{-93, &corrected}}) {
        SCOPED_TRACE(c.rotation);
        // A region right of the centre and near the top (on the unturned photo), crossed by the
        // circle's edge and the band.
        const Rect imageRect{0, 0, 200, 100};
        const Point onScreen = [&] {
            const double t = c.rotation * std::numbers::pi / 180;
            return Point{100 + 50 * std::cos(t) + 20 * std::sin(t), 50 + 50 * std::sin(t) - 20 * std::cos(t)};
        }();
        const auto g = LoupeGeometry::make(200, 100, {200, 100}, imageRect, onScreen, c.rotation, 200);
        ASSERT_TRUE(g.region);
        EXPECT_NEAR(g.region->midX(), 150, 1);
        EXPECT_NEAR(g.region->midY(), 30, 1);
        const auto piece = LoupeRenderer::render(source, *c.parameters, g, {});
        const auto whole = test::screenDevelopment(source, *c.parameters, c.rotation, {});
        ASSERT_TRUE(piece && whole);
        ASSERT_EQ(piece->width(), static_cast<int>(g.region->width));
        ASSERT_EQ(piece->height(), static_cast<int>(g.region->height));
        EXPECT_EQ(rowsUnlike(*piece, *whole, *g.region), 0) << "rows of the loupe unlike the developed photo";
    }
}

// What the loupe exists for: judging the detail, the sharpening and the grain of the exported file.
// Its pixels are those of a full-size export at the same place, at the photo's edge too, and
// inside a crop.
TEST(LoupeRenderer, ShowsThePixelsOfAFullSizeExport) {
    Photo photo;
    photo.url = test::sample("jpeg/iceland_srgb_untagged_nikon_d800e.jpg");
    photo.relativePath = "iceland.jpg";
    photo.fileFormat = PhotoFileFormat::jpeg;
    const SharedImage source = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    ASSERT_TRUE(source);
    const int width = source->width(), height = source->height();
    // Fitted at two pixels per point, a 200-point loupe: regions of 80 pixels.
    const Size fitted{width / 2.0, height / 2.0};
    const Rect imageRect{0, 0, fitted.width, fitted.height};
    const ManualCrop crop{CropAspect::original(), 60, 3000, 6000};
    struct Case {
        const char* name;
        PhotoParameters parameters;
        ManualCrop crop;
    };
    const Case cases[] = {
        {"clarity", test::withValues({{PhotoParameter::clarity, 70}}), {}},
        {"sharpening",
         test::withValues({{PhotoParameter::sharpen_amount, 90}, {PhotoParameter::sharpen_radius, 80}}),
         {}},
        {"grain",
         test::withValues({{PhotoParameter::grain_amount, 60}, {PhotoParameter::grain_size, 20}}),
         {}},
        {"all of them in a crop",
         test::withValues({{PhotoParameter::clarity, -50},
                           {PhotoParameter::sharpen_amount, 60},
                           {PhotoParameter::grain_amount, 40},
                           {PhotoParameter::grain_roughness, 50}}),
         crop},
    };
    for (const Case& c : cases) {
        const auto exported = Exporter::renderEditedImageAndMetadata(
            photo, 0, c.crop, c.parameters, std::nullopt, std::nullopt, Exporter::fileDecoder());
        ASSERT_TRUE(exported.rendered);
        const Image& file = *exported.rendered->image;
        const ManualCropGeometry cut = c.crop.geometry(width, height);
        for (const Point pointer : {Point{150, 100}, Point{5, 195}, Point{130, 120}}) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(pointer.x) + ", " +
                         std::to_string(pointer.y));
            const auto g = LoupeGeometry::make(width, height, fitted, imageRect, pointer, 0, 200);
            ASSERT_TRUE(g.region);
            // The part of the region that the export holds.
            const int left = std::max(static_cast<int>(g.region->minX()), cut.x);
            const int top = std::max(static_cast<int>(g.region->minY()), cut.y);
            const int right = std::min(static_cast<int>(g.region->maxX()), cut.x + cut.width);
            const int bottom = std::min(static_cast<int>(g.region->maxY()), cut.y + cut.height);
            if (right <= left || bottom <= top) continue;
            const auto piece = LoupeRenderer::render(source, c.parameters, g, c.crop);
            ASSERT_TRUE(piece);
            int differing = 0;
            for (int y = top; y < bottom; ++y)
                differing += std::memcmp(piece->row(y - static_cast<int>(g.region->minY())) +
                                             4 * static_cast<std::size_t>(left - g.region->minX()),
                                         file.row(y - cut.y) + 4 * static_cast<std::size_t>(left - cut.x),
                                         4 * static_cast<std::size_t>(right - left)) != 0;
            EXPECT_EQ(differing, 0) << "rows of the loupe unlike the export";
        }
    }
}

// Under quarter turns the loupe shows the screen's development, and so the export's pixels, whatever
// stage reads the pixels around a pixel: its region developed alone and cut from the whole photo's
// development alike.
TEST(LoupeRenderer, AQuarterTurnedPhotoShowsTheScreensPixels) {
    Photo photo;
    photo.url = test::sample("jpeg/iceland_srgb_untagged_nikon_d800e.jpg");
    photo.fileFormat = PhotoFileFormat::jpeg;
    const SharedImage source = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
    ASSERT_TRUE(source);
    const Size fitted{source->width() / 2.0, source->height() / 2.0};
    const ManualCrop crop{CropAspect::ratio(4, 5), 70, 2500, 7000};
    for (const auto& [stage, parameters] : test::detailStages())
        for (const double rotation : {90.0, -90.0}) {
            SCOPED_TRACE(stage + " turned " + std::to_string(rotation));
            const auto g = LoupeGeometry::make(source->width(), source->height(), fitted,
                                               {0, 0, fitted.width, fitted.height}, {170, 90}, rotation, 200);
            ASSERT_TRUE(g.region);
            const SharedImage screen = test::screenDevelopment(source, parameters, rotation, crop);
            const SharedImage piece = LoupeRenderer::render(source, parameters, g, crop);
            const SharedImage cut =
                LoupeRenderer::regionOf(LoupeRenderer::renderWhole(source, parameters, rotation, crop), g);
            ASSERT_TRUE(screen && piece && cut);
            EXPECT_EQ(rowsUnlike(*piece, *screen, *g.region), 0);
            EXPECT_EQ(rowsUnlike(*cut, *screen, *g.region), 0);
        }
}

} // namespace
} // namespace sorvin
