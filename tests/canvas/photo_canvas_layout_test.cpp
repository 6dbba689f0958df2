#include "canvas/photo_canvas_layout.hpp"
#include "canvas_test_support.hpp"

namespace sorvin {
namespace {

using test::expectNear;

struct FitCase {
    Size area;
    int iw;
    int ih;
    double rotation;
    Size fitted;
    Size content;
};

TEST(PhotoCanvasLayout, FitsTheRotatedImageIntoTheArea) {
    const FitCase cases[] = {
        {{1000, 800}, 400, 300, 0, {1000, 750}, {1000, 750}},
        {{300, 400}, 400, 300, 90, {400, 300}, {300, 400}}, // quarter turn: the extents swap
        {{500, 500}, 100, 100, 45, {353.5533905932738, 353.5533905932738}, {500, 500}},
        {{0, 400}, 400, 300, 0, {0, 0}, {0, 0}},
        {{300, 400}, 0, 300, 0, {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        const auto layout = PhotoCanvasLayout::make(c.area, c.iw, c.ih, c.rotation, {}, false, {});
        EXPECT_NEAR(layout.fittedSize.width, c.fitted.width, 1e-9) << c.rotation;
        EXPECT_NEAR(layout.fittedSize.height, c.fitted.height, 1e-9) << c.rotation;
        EXPECT_NEAR(layout.contentSize.width, c.content.width, 1e-9) << c.rotation;
        EXPECT_NEAR(layout.contentSize.height, c.content.height, 1e-9) << c.rotation;
        EXPECT_EQ(layout.centringOffset, Size{});
    }
}

TEST(PhotoCanvasLayout, CropOnlyDisplayFramesTheCropAndCentresIt) {
    // The right half of a 400 x 200 photo in a 400 x 400 area: the half fills the width.
    const ManualCrop rightHalf{.aspect = CropAspect::ratio(1, 1), .sizeP = 100, .xM = 5000, .yM = 0};
    const auto layout = PhotoCanvasLayout::make({400, 400}, 400, 200, 0, rightHalf, true, {});
    EXPECT_EQ(layout.contentSize, (Size{400, 400}));
    EXPECT_EQ(layout.fittedSize, (Size{800, 400}));
    EXPECT_EQ(layout.centringOffset, (Size{-200, 0}));
    EXPECT_EQ(layout.imageRect, (Rect{-400, 0, 800, 400}));
    EXPECT_EQ(layout.contentRect, (Rect{0, 0, 400, 400}));
    // The crop's centre pixel (300, 100) lands in the area's centre, also when zoomed.
    expectNear(layout.screenPoint({300, 100}), {200, 200});
    const auto zoomed =
        PhotoCanvasLayout::make({400, 400}, 400, 200, 0, rightHalf, true, ZoomState{2, {10, 0}});
    expectNear(zoomed.screenPoint({300, 100}), {210, 200});
    expectNear(zoomed.screenPoint({400, 100}), {610, 200});
}

TEST(PhotoCanvasLayout, ScreenPointAndMaskMappingAgree) {
    const ManualCrop crop{.aspect = CropAspect::ratio(1, 1), .sizeP = 50, .xM = 1000, .yM = 2000};
    for (bool cropOnly : {false, true}) {
        const auto layout =
            PhotoCanvasLayout::make({900, 700}, 640, 480, 12.5, crop, cropOnly, ZoomState{1.7, {33, -12}});
        const auto mapping = layout.maskMapping();
        for (Point pixel : {Point{0, 0}, Point{640, 480}, Point{123, 456}}) {
            expectNear(layout.screenPoint(pixel), mapping.map(pixel), 1e-9);
        }
        // Carrying the view point back lands on the unzoomed, unrotated photo point.
        const Point view = layout.screenPoint({320, 100});
        const Point fitted = mapping.unmapToFitted(view, layout.areaCenter(), 1.7, {33, -12});
        expectNear(fitted,
                   {layout.imageRect.minX() + 320 * layout.fittedSize.width / 640,
                    layout.imageRect.minY() + 100 * layout.fittedSize.height / 480},
                   1e-9);
    }
}

TEST(PhotoCanvasRules, OrientedSizeSwapsForQuarterTurnOrientations) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const PixelSize expected = orientation >= 5 ? PixelSize{4000, 6000} : PixelSize{6000, 4000};
        EXPECT_EQ(PhotoCanvasRules::orientedSize(6000, 4000, orientation), expected) << orientation;
    }
}

struct RemainingCase {
    double rotation;
    ManualCrop crop;
    std::optional<std::string> text;
};

TEST(PhotoCanvasRules, RemainingTextOnlyWhenThePhotoIsCut) {
    const ManualCrop quarter{.aspect = CropAspect::original(), .sizeP = 50, .xM = 0, .yM = 0};
    const RemainingCase cases[] = {
        {0, {}, std::nullopt},      {0.004, {}, std::nullopt},    {90, {}, std::nullopt},
        {0, quarter, "残り 50.0%"}, {180, quarter, "残り 50.0%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PhotoCanvasRules::remainingText(c.rotation, c.crop, {600, 400}), c.text) << c.rotation;
        EXPECT_EQ(PhotoCanvasRules::cropStatus(c.rotation, c.crop, {600, 400}), c.text.has_value());
    }
    // A fine rotation cuts the corners away.
    const auto rotated = PhotoCanvasRules::remainingText(3.5, {}, {600, 400});
    ASSERT_TRUE(rotated);
    EXPECT_NE(*rotated, "残り 100.0%");
    EXPECT_TRUE(PhotoCanvasRules::cropStatus(-0.5, {}, {600, 400}));
}

TEST(PhotoCanvasRules, StatusStripItems) {
    EXPECT_TRUE(PhotoCanvasRules::statusItems(1.0, -0.004, std::nullopt).empty());
    EXPECT_EQ(PhotoCanvasRules::statusItems(2.5, -3.5, "残り 80.0%"),
              (std::vector<std::string>{"250%", "-3.5°", "残り 80.0%"}));
    EXPECT_EQ(PhotoCanvasRules::statusItems(1.0, 2, std::nullopt), (std::vector<std::string>{"+2.0°"}));
}

TEST(PhotoCanvasRules, LoupeSideAndResolutionChoice) {
    EXPECT_EQ(PhotoCanvasRules::loupeSide({1000, 500}), 400);
    EXPECT_EQ(PhotoCanvasRules::loupeSide({2000, 1000}), 600);
    EXPECT_EQ(PhotoCanvasRules::loupeSide({101, 101}), 80);
    EXPECT_EQ(PhotoCanvasRules::loupeSide({-1, 100}), 0);
    EXPECT_TRUE(PhotoCanvasRules::prefersFullResolution(false, 1, false));
    EXPECT_FALSE(PhotoCanvasRules::prefersFullResolution(true, 1, false));
    EXPECT_TRUE(PhotoCanvasRules::prefersFullResolution(true, 1.01, false));
    EXPECT_TRUE(PhotoCanvasRules::prefersFullResolution(true, 1, true));
}

} // namespace
} // namespace sorvin
