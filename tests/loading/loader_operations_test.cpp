#include "engine/geometry_adjustment.hpp"
#include "engine/vignette_adjustment.hpp"
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
    const auto frameOf = [](int width, int height, double rotation, const ManualCrop& crop) {
        const auto placement = PreviewDevelopment::placement(width, height, rotation, crop);
        EXPECT_TRUE(placement);
        return placement ? VignetteAdjustment::frame(*placement) : VignetteFrame{};
    };
    // No rotation: the frame's centre is the crop's centre.
    const VignetteFrame plain = frameOf(300, 200, 0, squareCrop(50, 0, 0));
    const ManualCropGeometry g = squareCrop(50, 0, 0).geometry(300, 200);
    EXPECT_DOUBLE_EQ(plain.centerX, g.x + (g.width - 1) / 2.0);
    EXPECT_DOUBLE_EQ(plain.centerY, g.y + (g.height - 1) / 2.0);
    EXPECT_EQ(plain.width, g.width);
    EXPECT_EQ(plain.height, g.height);
    EXPECT_EQ(plain.rotation, 0);

    // A crop centred in the rotated picture keeps the centre whatever the rotation; the frame is
    // turned back against the picture's turn, so that it stands square to the crop on screen.
    for (double rotation : {7.5, -30.0}) {
        const VignetteFrame frame = frameOf(301, 201, rotation, ManualCrop{});
        EXPECT_NEAR(frame.centerX, 150, 1e-9) << rotation;
        EXPECT_NEAR(frame.centerY, 100, 1e-9) << rotation;
        EXPECT_EQ(frame.rotation, -rotation);
    }

    // A quarter turn clockwise: the crop's offset to the right on screen lies upwards in the image,
    // and the crop's width runs along the image's height.
    const PixelSize turned = PhotoRotation::outputSize(300, 200, 90);
    const ManualCrop wide{CropAspect::ratio(3, 1), 50, 10000, 0};
    const VignetteFrame quarter = frameOf(300, 200, 90, wide);
    const ManualCropGeometry q = wide.geometry(turned.width, turned.height);
    const double dx = q.x + (q.width - 1) / 2.0 - (turned.width - 1) / 2.0;
    const double dy = q.y + (q.height - 1) / 2.0 - (turned.height - 1) / 2.0;
    EXPECT_DOUBLE_EQ(quarter.centerX, 149.5 + dy);
    EXPECT_DOUBLE_EQ(quarter.centerY, 99.5 - dx);
    EXPECT_EQ(quarter.width, q.height);
    EXPECT_EQ(quarter.height, q.width);
    EXPECT_EQ(quarter.rotation, 0);
}

TEST(PreviewDevelopmentTest, APictureThatIsTheWholeImageNeedsNoPlacementAndOnlyGlobalGeometryCounts) {
    EXPECT_FALSE(PreviewDevelopment::placement(10, 10, 0, {}));
    EXPECT_FALSE(PreviewDevelopment::placement(10, 6, 90, {}));
    EXPECT_TRUE(PreviewDevelopment::placement(10, 10, 0.5, {}));
    EXPECT_TRUE(PreviewDevelopment::placement(10, 10, 0, squareCrop(50, 0, 0)));

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
                         const std::optional<DevelopmentPlacement>&, const CancellationProbe&) {
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
