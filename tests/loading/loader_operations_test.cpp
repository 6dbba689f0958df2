#include "engine/geometry_adjustment.hpp"
#include "loading/loader_operations.hpp"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;

PhotoParameters with(P p, int value, PhotoParameters set = {}) {
    set.setValue(value, p);
    return set;
}

ManualCrop squareCrop(int size, int xM, int yM) {
    return ManualCrop{CropAspect::ratio(1, 1), size, xM, yM};
}

TEST(PreviewDevelopmentTest, TheVignetteFollowsTheCropTurnedBackIntoTheImage) {
    const PhotoParameters vignette = with(P::vignette_amount, -50);
    // No rotation: the frame's centre is the crop's centre.
    const auto plain = PreviewDevelopment::vignetteFrame(300, 200, vignette, 0, squareCrop(50, 0, 0));
    ASSERT_TRUE(plain);
    const ManualCropGeometry g = squareCrop(50, 0, 0).geometry(300, 200);
    EXPECT_DOUBLE_EQ(plain->centerX, g.x + (g.width - 1) / 2.0);
    EXPECT_DOUBLE_EQ(plain->centerY, g.y + (g.height - 1) / 2.0);
    EXPECT_EQ(plain->width, g.width);
    EXPECT_EQ(plain->height, g.height);

    // A crop centred in the rotated picture keeps the centre whatever the rotation.
    for (double rotation : {0.0, 7.5, -30.0, 90.0}) {
        const auto frame = PreviewDevelopment::vignetteFrame(301, 201, vignette, rotation, ManualCrop{});
        ASSERT_TRUE(frame);
        EXPECT_NEAR(frame->centerX, 150, 1e-9) << rotation;
        EXPECT_NEAR(frame->centerY, 100, 1e-9) << rotation;
        EXPECT_EQ(frame->rotation, rotation);
    }

    // A quarter turn clockwise: the crop's offset to the right on screen lies upwards in the image.
    const PixelSize turned = PhotoRotation::outputSize(300, 200, 90);
    const auto quarter = PreviewDevelopment::vignetteFrame(300, 200, vignette, 90, squareCrop(50, 10000, 0));
    ASSERT_TRUE(quarter);
    const ManualCropGeometry q = squareCrop(50, 10000, 0).geometry(turned.width, turned.height);
    const double dx = q.x + (q.width - 1) / 2.0 - (turned.width - 1) / 2.0;
    const double dy = q.y + (q.height - 1) / 2.0 - (turned.height - 1) / 2.0;
    EXPECT_NEAR(quarter->centerX, 149.5 + dy, 1e-9);
    EXPECT_NEAR(quarter->centerY, 99.5 - dx, 1e-9);
}

TEST(PreviewDevelopmentTest, OnlyAGlobalVignetteOrGeometryValueCounts) {
    PhotoParameters maskOnly(std::vector<MaskKind>{MaskKindCatalog::current().definitions[0].kind});
    maskOnly.setValue(-40, P::vignette_amount, ParameterEditTarget::mask(0));
    EXPECT_FALSE(PreviewDevelopment::vignetteFrame(10, 10, maskOnly, 0, {}));
    EXPECT_FALSE(PreviewDevelopment::vignetteFrame(10, 10, with(P::vignette_amount, 0), 0, {}));

    const SharedImage image = makeImage(PixelBuffer(8, 8));
    EXPECT_EQ(PreviewDevelopment::withLensGeometry(image, with(P::geometry_zoom, 0), neverCancelled()),
              image);
    const SharedImage corrected =
        PreviewDevelopment::withLensGeometry(image, with(P::geometry_distortion, 30), neverCancelled());
    ASSERT_TRUE(corrected);
    EXPECT_NE(corrected, image);
    EXPECT_EQ(corrected->width(), 8);
}

TEST(LoaderOperationsTest, WorkCancelledWhileItRunsReportsNothing) {
    std::atomic<bool> cancelled{false};
    const CancellationProbe probe = [&] { return cancelled.load(); };

    ImageDecodeOperation decode;
    decode.decoder = [&](const Photo&, std::optional<PhotoSource>, int) {
        cancelled = true; // the user moved on while the file was read
        return makeImage(PixelBuffer(4, 4));
    };
    EXPECT_FALSE(decode.run(probe));

    cancelled = false;
    ParameterOperation render;
    render.source = makeImage(PixelBuffer(60, 40));
    render.targetLongEdge = 32;
    render.parameters = with(P::exposure, 10);
    render.resizeCache = std::make_shared<DisplayResizeCache>();
    render.develop = [&](const SharedImage& image, const PhotoParameters&,
                         const std::optional<VignetteFrame>&, const CancellationProbe&) {
        cancelled = true;
        return image;
    };
    EXPECT_FALSE(render.run(probe)) << "a finished development that was cancelled meanwhile";
    EXPECT_TRUE(render.resizeCache->storedKey()) << "the resize is kept for the next request";

    cancelled = false;
    FullResolutionRawOperation full;
    full.development = [&](const RawDevelopmentRequest&) {
        cancelled = true;
        return std::optional<RawDevelopmentResult>();
    };
    EXPECT_FALSE(full.run(probe));
}

TEST(LoaderOperationsTest, AFailedRawDevelopmentIsReportedWithoutImages) {
    RawParameterOperation render;
    render.cache = std::make_shared<RawDevelopmentCache>(
        [](const RawDevelopmentRequest&) { return std::optional<RawDevelopmentResult>(); });
    const auto report = render.run(neverCancelled());
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->result);
    EXPECT_FALSE(report->developed);
}

} // namespace
} // namespace sorvin
