#include "canvas/photo_canvas_model.hpp"
#include "canvas_test_support.hpp"
#include "model/photo.hpp"

#include <functional>

namespace sorvin {
namespace {

SharedImage blank(int width, int height) {
    return makeImage(PixelBuffer(width, height));
}

// A 400 x 300 photo shown in a 800 x 600 area, nothing else going on.
PhotoCanvasInputs plain() {
    PhotoCanvasInputs in;
    in.area = {800, 600};
    in.displayImage = blank(400, 300);
    in.orientedSize = {4000, 3000};
    return in;
}

PhotoCanvasInputs withCircle() {
    auto in = plain();
    in.currentParameters = test::withMask(MaskKind::circular(), {{PhotoParameter::circular_mask_size, 40}});
    in.editTarget = ParameterEditTarget::mask(0);
    return in;
}

TEST(PhotoCanvasModel, WithoutAnImageShowsProgressOrTheFailureOnly) {
    auto in = withCircle();
    in.displayImage = nullptr;
    in.showGrid = true;
    in.rotation = -3.5;
    in.zoom.scale = 2;
    auto model = PhotoCanvasModel::make(in);
    EXPECT_TRUE(model.showsProgress);
    EXPECT_FALSE(model.showsFailureNote);
    EXPECT_FALSE(model.showsCropGuide);
    EXPECT_TRUE(model.maskModels.empty());
    // Zoom and rotation still show; the remaining share needs an image.
    EXPECT_EQ(model.statusItems, (std::vector<std::string>{"200%", "-3.5°"}));
    in.decodeFailed = true;
    model = PhotoCanvasModel::make(in);
    EXPECT_TRUE(model.showsFailureNote);
    EXPECT_FALSE(model.showsProgress);
}

TEST(PhotoCanvasModel, CropGuideShowsForACutOrTheGridButNotUnderAModal) {
    auto in = plain();
    EXPECT_FALSE(PhotoCanvasModel::make(in).showsCropGuide);
    in.showGrid = true;
    auto model = PhotoCanvasModel::make(in);
    EXPECT_TRUE(model.showsCropGuide);
    EXPECT_FALSE(model.cropGuideShowsMask);
    EXPECT_TRUE(model.cropGuideShowsGrid);
    in.showGrid = false;
    in.rotation = 2;
    model = PhotoCanvasModel::make(in);
    EXPECT_TRUE(model.showsCropGuide && model.cropGuideShowsMask && !model.cropGuideShowsGrid);
    in.cropInsideOnly = true; // the cut is already what shows
    EXPECT_FALSE(PhotoCanvasModel::make(in).showsCropGuide);
    in.cropInsideOnly = false;
    in.modalPresented = true;
    EXPECT_FALSE(PhotoCanvasModel::make(in).showsCropGuide);
}

TEST(PhotoCanvasModel, MaskGuideOnlyWhileNothingElseTakesThePhoto) {
    EXPECT_TRUE(PhotoCanvasModel::make(withCircle()).maskModels.circular);
    const std::function<void(PhotoCanvasInputs&)> blockers[] = {
        [](PhotoCanvasInputs& in) { in.loupeOn = true; },
        [](PhotoCanvasInputs& in) { in.exportPresented = true; },
        [](PhotoCanvasInputs& in) { in.singleExportPanelPresented = true; },
        [](PhotoCanvasInputs& in) { in.showingOriginal = true; },
        [](PhotoCanvasInputs& in) { in.editTarget = ParameterEditTarget::global(); },
        [](PhotoCanvasInputs& in) {
            in.area = {0, 600};
        },
    };
    for (const auto& block : blockers) {
        auto in = withCircle();
        block(in);
        EXPECT_TRUE(PhotoCanvasModel::make(in).maskModels.empty());
    }
}

TEST(PhotoCanvasModel, LoupeTakesThePieceUnderThePointer) {
    auto in = plain();
    in.loupeOn = true;
    in.loupeSourceImage = blank(800, 600);
    in.pointer = {{400, 300}, true};
    auto model = PhotoCanvasModel::make(in);
    ASSERT_TRUE(model.loupe && model.loupe->region);
    // The photo is drawn 800 x 600 points, so one source pixel per point; side 480 / 5 = 96 pixels.
    EXPECT_EQ(model.loupe->region->width, 96);
    EXPECT_EQ(model.loupeCenter, (Point{400, 300}));
    in.zoom.scale = 1.5;
    EXPECT_FALSE(PhotoCanvasModel::make(in).loupe);
    in.zoom.scale = 1;
    in.loupeSourceImage = nullptr;
    EXPECT_FALSE(PhotoCanvasModel::make(in).loupe);
}

TEST(PhotoCanvasModel, ClippingWarningNeedsTheDisplayImage) {
    auto in = plain();
    in.clippingWarningImage = blank(10, 10);
    EXPECT_TRUE(PhotoCanvasModel::make(in).clippingWarningImage);
    in.displayImage = nullptr;
    EXPECT_FALSE(PhotoCanvasModel::make(in).clippingWarningImage);
}

TEST(PhotoCanvasModel, FailureKeyIsThePhotosOwnFile) {
    Photo jpeg;
    jpeg.relativePath = "a.jpg";
    jpeg.rawCompanionURL = "/x/a.nef";
    EXPECT_EQ(PhotoCanvasModel::failureKey(jpeg), (ImageCacheKey{"a.jpg", PhotoSource::jpeg}));
    Photo raw;
    raw.relativePath = "b.nef";
    raw.fileFormat = PhotoFileFormat::raw;
    EXPECT_EQ(PhotoCanvasModel::failureKey(raw), (ImageCacheKey{"b.nef", PhotoSource::raw}));
}

} // namespace
} // namespace sorvin
