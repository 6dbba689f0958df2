#include "loading/histogram_analyzer.hpp"
#include "loading/histogram_image_processor.hpp"
#include "model/mask_kind_catalog.hpp"
#include "support/screen_picture.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

SharedImage filled(int width, int height, std::uint8_t value) {
    PixelBuffer buffer(width, height);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = (i % 4 == 3) ? 255 : value;
    return makeImage(std::move(buffer));
}

// Left half black, right half white.
SharedImage halves(int width, int height) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = buffer.row(y) + 4 * x;
            p[0] = p[1] = p[2] = x < width / 2 ? 0 : 255;
            p[3] = 255;
        }
    return makeImage(std::move(buffer));
}

const ManualCrop kWholeImage{CropAspect::original(), 100, 0, 0};

TEST(HistogramImageProcessorTest, ReducesToTheHistogramBoundsOnly) {
    const SharedImage wide = filled(1024, 300, 90);
    const SharedImage reduced = HistogramImageProcessor::resizedToHistogramBounds(wide);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->width(), 512);
    EXPECT_EQ(reduced->height(), 150);
    const SharedImage small = filled(400, 300, 90);
    EXPECT_EQ(HistogramImageProcessor::resizedToHistogramBounds(small), small);
    EXPECT_FALSE(HistogramImageProcessor::resizedToHistogramBounds(nullptr));
}

TEST(HistogramImageProcessorTest, CountsTheRotatedAndCroppedPhotoWithItsMask) {
    const auto result =
        HistogramImageProcessor::process(halves(2000, 1000), 90, kWholeImage, PhotoParameters::zero(), true);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->clippingWarningImage);
    // A quarter turn stands the picture up before it is reduced.
    EXPECT_EQ(result->clippingWarningImage->width(), 256);
    EXPECT_EQ(result->clippingWarningImage->height(), 512);
    EXPECT_NEAR(result->histogram.blackClippingPercentage, 50, 1);
    EXPECT_NEAR(result->histogram.whiteClippingPercentage, 50, 1);

    // A crop keeping the right (white) third leaves no black.
    const ManualCrop rightPart = ManualCrop{CropAspect::ratio(1, 1), 100, 10000, 0};
    const auto cropped =
        HistogramImageProcessor::process(halves(2000, 1000), 0, rightPart, PhotoParameters::zero(), false);
    ASSERT_TRUE(cropped);
    EXPECT_FALSE(cropped->clippingWarningImage);
    EXPECT_EQ(cropped->histogram.blackClippingPercentage, 0);
    EXPECT_EQ(cropped->histogram.whiteClippingPercentage, 100);
}

// A mask lies where the screen shows it, so the clipping counted is the screen's.
TEST(HistogramImageProcessorTest, AMaskOfACroppedPhotoClipsWhatTheScreenShowsClipped) {
    const SharedImage grey = test::flatGrey(1200, 800, 235);
    const PhotoParameters circle =
        test::withMask(MaskKind::circular(), {{PhotoParameter::circular_mask_amount, 100},
                                              {PhotoParameter::circular_mask_center_x, 600},
                                              {PhotoParameter::circular_mask_center_y, 400},
                                              {PhotoParameter::circular_mask_size, 40},
                                              {PhotoParameter::circular_mask_feather, 0},
                                              {PhotoParameter::exposure, 100}});
    for (const test::Framing& framing :
         {test::Framing{"half, off centre", 0, ManualCrop{CropAspect::ratio(1, 1), 50, 4000, 1000}},
          test::Framing{"turned", -95, ManualCrop{CropAspect::ratio(3, 4), 60, 0, 2000}}}) {
        SCOPED_TRACE(framing.name);
        const auto counted =
            HistogramImageProcessor::process(grey, framing.rotation, framing.crop, circle, false);
        const SharedImage screen = HistogramImageProcessor::resizedToHistogramBounds(
            test::screenPicture(grey, circle, framing.rotation, framing.crop));
        ASSERT_TRUE(counted && screen);
        const HistogramData shown = HistogramAnalyzer::analyze(screen);
        EXPECT_GT(shown.whiteClippingPercentage, 5);
        EXPECT_NEAR(counted->histogram.whiteClippingPercentage, shown.whiteClippingPercentage, 0.5);
    }
}

TEST(HistogramImageProcessorTest, TheDevelopmentIsCounted) {
    PhotoParameters brighter;
    brighter.setValue(100, PhotoParameter::exposure);
    const auto plain = HistogramImageProcessor::process(filled(300, 200, 100), 0, kWholeImage, {}, false);
    const auto developed =
        HistogramImageProcessor::process(filled(300, 200, 100), 0, kWholeImage, brighter, false);
    ASSERT_TRUE(plain);
    ASSERT_TRUE(developed);
    EXPECT_NE(plain->histogram, developed->histogram);
    EXPECT_FALSE(HistogramImageProcessor::process(nullptr, 0, kWholeImage, {}, true));
}

} // namespace
} // namespace sorvin
