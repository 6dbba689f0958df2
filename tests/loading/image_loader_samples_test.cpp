#include "engine/display_adjustment_resolution.hpp"
#include "loading/image_loader.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using P = PhotoParameter;

Photo samplePhoto(const std::string& relative, int width, int height) {
    Photo photo;
    photo.url = test::sample(relative);
    photo.relativePath = relative;
    photo.pixelWidth = width;
    photo.pixelHeight = height;
    photo.fileFormat = photoFileFormatFrom(photo.url).value_or(PhotoFileFormat::jpeg);
    return photo;
}

// The program's own decoder, RAW developer and development engine, on real sample photos.
struct ImageLoaderSamplesTest : ::testing::Test {
    test::ManualMainQueue mainQueue;
    test::ManualExecutor executor;
    ImageLoader loader{mainQueue, executor};

    void finish() {
        while (executor.waiting() > 0 || mainQueue.pendingCount() > 0) {
            executor.runAll();
            mainQueue.runPending();
        }
    }
};

TEST_F(ImageLoaderSamplesTest, AJpegIsDecodedAndDevelopedAtDisplaySize) {
    const Photo photo = samplePhoto("jpeg/nikon_d70s_gps_lens.jpg", 2240, 1488);
    const Photo broken = samplePhoto("corrupt/corrupt_header.jpg", 3008, 2000);
    loader.prefetch({photo, broken}, 0, {}, std::nullopt);
    finish();
    EXPECT_TRUE(loader.failures().contains(ImageCacheKey{broken.relativePath, PhotoSource::jpeg}));
    const SharedImage decoded = loader.image(photo, std::nullopt, false);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::max(decoded->width(), decoded->height()), 2240);

    const PhotoParameters darker = [] {
        PhotoParameters p;
        p.setValue(-60, P::exposure);
        return p;
    }();
    loader.requestParameters(photo, darker, std::nullopt, 0, {}, false, 400, 2, 1);
    finish();
    const SharedImage developed = loader.adjustedImage(photo, darker, std::nullopt, 0, {}, false);
    ASSERT_TRUE(developed);
    EXPECT_EQ(std::max(developed->width(), developed->height()), 800);
    const SharedImage resized = DisplayAdjustmentResolution::resized(decoded, 800);
    ASSERT_TRUE(resized);
    const Image& a = *developed;
    const Image& b = *resized;
    long long sumDeveloped = 0, sumDecoded = 0;
    for (std::size_t i = 0; i < a.byteCount(); i += 4) {
        sumDeveloped += a.data()[i + 1];
        sumDecoded += b.data()[i + 1];
    }
    EXPECT_LT(sumDeveloped, sumDecoded * 9 / 10) << "the negative exposure darkens the picture";
}

TEST_F(ImageLoaderSamplesTest, ANefIsDevelopedThroughTheRawPreview) {
    const Photo photo = samplePhoto("raw/nikon_d1.nef", 2012, 1324);
    PhotoParameters parameters;
    parameters.setValue(20, P::contrast);
    loader.requestParameters(photo, parameters, std::nullopt, 0, {}, false, 400, 2, 1);
    finish();
    EXPECT_TRUE(loader.failures().empty());
    ASSERT_TRUE(loader.isDisplayReady(photo, PhotoSource::raw, parameters, 0, {}, false));
    const SharedImage developed = loader.adjustedImage(photo, parameters, std::nullopt, 0, {}, false);
    ASSERT_TRUE(developed);
    EXPECT_EQ(std::max(developed->width(), developed->height()), 1600);
    EXPECT_EQ(loader.parameterState().sourceSize, (PixelSize{developed->width(), developed->height()}));
}

} // namespace
} // namespace sorvin
