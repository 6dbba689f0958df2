#include "loading/image_loader_test_support.hpp"

#include <cmath>
#include <limits>

namespace sorvin {
namespace {

using P = PhotoParameter;

struct ImageLoaderTest : test::ImageLoaderFixture {
    const Photo a = test::loaderPhoto("a.jpg");
    const Photo b = test::loaderPhoto("b.jpg");
    const Photo pair = test::loaderPhoto("p.jpg", true);
    const PhotoParameters bright = test::with(P::exposure, 20);
    const PhotoParameters brighter = test::with(P::exposure, 40);
};

TEST(ImageLoaderTargetTest, DisplayTargetIsRoundedUpTo32AndNeverAboveTheSource) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        int source;
        double area, scale, zoom;
        std::optional<int> target;
    };
    const Row rows[] = {
        {6000, 1000, 2, 1, 2016},   {6000, 1008, 2, 1, 2016},      {6000, 1010, 2, 1, 2048},
        {6000, 1000, 2, 2.5, 5024}, {1500, 1000, 2, 1, 1500},      {6000, 1, 1, 1, 32},
        {20, 1, 1, 1, 20},          {6000, 1e300, 1e300, 1, 6000}, {6000, 0, 2, 1, {}},
        {6000, 1000, -2, 1, {}},    {6000, nan, 2, 1, {}},         {6000, 1000, 2, inf, {}},
        {0, 1000, 2, 1, {}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ImageLoader::displayTargetLongEdge(r.source, r.area, r.scale, r.zoom), r.target)
            << r.source << " " << r.area << " " << r.scale << " " << r.zoom;
    }
}

TEST_F(ImageLoaderTest, DevelopsTheDecodedImageAtTheTargetAndPublishesIt) {
    decode(a);
    const SharedImage decoded = loader.image(a, std::nullopt, false);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(shown(a, bright), decoded) << "undeveloped until the development arrives";

    const auto revision = loader.revision();
    request(a, bright);
    finish();
    ASSERT_EQ(developments.size(), 1u);
    EXPECT_EQ(developments[0].width, 32) << "60 x 40 reduced to the target of 32";
    const SharedImage developed = shown(a, bright);
    ASSERT_TRUE(developed);
    EXPECT_NE(developed, decoded);
    EXPECT_EQ(loader.revision(), revision + 1);
    EXPECT_EQ(availabilityCalls, 1);
    EXPECT_TRUE(loader.isDisplayReady(a, PhotoSource::jpeg, bright, 0, {}, false));
    EXPECT_FALSE(loader.isDisplayReady(a, PhotoSource::jpeg, brighter, 0, {}, false));
    EXPECT_EQ(shown(a, brighter), decoded) << "another parameter set is not shown the old development";
}

TEST_F(ImageLoaderTest, ARequestAlreadyMetOrUnderWayStartsNothing) {
    decode(a);
    request(a, bright);
    request(a, bright);
    finish();
    request(a, bright);
    loader.requestParameters(a, bright, std::nullopt, 0, {}, false, 11, 2, 1); // the same target of 32
    finish();
    EXPECT_EQ(developments.size(), 1u);
}

TEST_F(ImageLoaderTest, NoValuesAndNoMasksNeverDevelopAndClearTheOldImage) {
    decode(a);
    request(a, bright);
    finish();
    request(a, PhotoParameters::zero());
    finish();
    EXPECT_EQ(developments.size(), 1u);
    EXPECT_FALSE(loader.parameterState().image);
    EXPECT_EQ(shown(a, PhotoParameters::zero()), loader.image(a, std::nullopt, false));
    EXPECT_TRUE(loader.isDisplayReady(a, PhotoSource::jpeg, {}, 0, {}, false));
}

TEST_F(ImageLoaderTest, BeforeTheDecodeArrivesTheOldImageStaysForTheSamePhotoOnly) {
    decode(a);
    request(a, bright);
    finish();
    for (int i = 0; i < 13; ++i) // pushes a's decode out of the display cache
        decode(test::loaderPhoto(std::string("n").append(std::to_string(i)).append(".jpg")));
    ASSERT_FALSE(loader.image(a, std::nullopt, false));

    request(a, brighter);
    EXPECT_TRUE(loader.parameterState().image) << "this photo's development stays";
    EXPECT_EQ(loader.parameterState().values, bright);
    request(b, bright);
    EXPECT_FALSE(loader.parameterState().image) << "another photo's development goes";
    EXPECT_FALSE(loader.parameterState().cacheKey);
}

TEST_F(ImageLoaderTest, AnOlderRenderArrivingLateIsIgnored) {
    decode(a);
    request(a, bright);
    executor.runAll(); // the older render finishes; its result waits for the main thread
    request(a, brighter);
    mainQueue.runPending();
    EXPECT_FALSE(loader.parameterState().image) << "the late result belongs to the older request";
    finish();
    ASSERT_EQ(developments.size(), 2u);
    EXPECT_EQ(loader.parameterState().values, brighter);
    EXPECT_TRUE(loader.parameterState().image);
}

TEST_F(ImageLoaderTest, ANewerRequestCancelsTheWaitingRender) {
    decode(a);
    request(a, bright);
    request(a, brighter);
    finish();
    ASSERT_EQ(developments.size(), 1u) << "the cancelled render never develops";
    EXPECT_EQ(developments[0].parameters, brighter);
}

TEST_F(ImageLoaderTest, ARenderWithoutImageChangesNothingVisible) {
    decode(a);
    request(a, bright);
    finish();
    const SharedImage developed = shown(a, bright);
    const auto revision = loader.revision();
    developmentFails = true;
    request(a, test::with(P::saturation, 10, bright));
    finish();
    EXPECT_EQ(loader.parameterState().image, developed) << "same photo and size: the old image stays";
    EXPECT_EQ(loader.revision(), revision);
    EXPECT_FALSE(loader.isRenderingParameters());
}

TEST_F(ImageLoaderTest, RawRenderKeepsThePreviousImageOfThePhotoAndRecordsFailures) {
    decode(pair);
    request(pair, bright, PhotoSource::jpeg);
    finish();
    const SharedImage jpegDevelopment = loader.parameterState().image;

    rawFails = true;
    request(pair, bright, PhotoSource::raw);
    EXPECT_EQ(shown(pair, bright, PhotoSource::raw), jpegDevelopment) << "shown while the RAW renders";
    const auto revision = loader.revision();
    const int calls = availabilityCalls;
    finish();
    const ImageCacheKey rawKey{"p.jpg", PhotoSource::raw};
    EXPECT_TRUE(loader.failures().contains(rawKey));
    EXPECT_EQ(loader.revision(), revision + 1);
    EXPECT_EQ(availabilityCalls, calls + 1);

    request(pair, bright, PhotoSource::raw);
    EXPECT_FALSE(loader.isRenderingParameters()) << "the request that just failed is not repeated";
    EXPECT_TRUE(loader.failures().contains(rawKey));

    rawFails = false;
    request(pair, brighter, PhotoSource::raw);
    EXPECT_FALSE(loader.failures().contains(rawKey)) << "asking again forgets the failure";
    finish();
    EXPECT_EQ(loader.parameterState().sourceSize, (PixelSize{1600, 1066}));
    EXPECT_TRUE(loader.isDisplayReady(pair, PhotoSource::raw, brighter, 0, {}, false));
}

TEST_F(ImageLoaderTest, RawImageWithoutMatchingDevelopmentIsTheRawDevelopmentOfTheSettings) {
    const PhotoParameters raw = test::with(P::raw_exposure, 50, bright);
    EXPECT_FALSE(shown(pair, raw, PhotoSource::raw));
    request(pair, raw, PhotoSource::raw);
    finish();
    const auto cached = rawCache->cachedResult(RawDevelopmentCacheKey{"p.jpg", RawDevelopmentSettings(raw)});
    ASSERT_TRUE(cached);
    const PhotoParameters edited = test::with(P::contrast, 30, raw); // same RAW settings
    EXPECT_EQ(shown(pair, edited, PhotoSource::raw), cached->image);
    EXPECT_FALSE(shown(pair, test::with(P::raw_exposure, 60), PhotoSource::raw)) << "other RAW settings";
    EXPECT_EQ(loader.image(pair, PhotoSource::raw, false), cached->image) << "whatever the settings";
}

TEST_F(ImageLoaderTest, SwitchingToJpegAndBackRendersTheRawAgain) {
    decode(pair);
    request(pair, bright, PhotoSource::raw); // queued, then overtaken by the JPEG request
    request(pair, bright, PhotoSource::jpeg);
    request(pair, bright, PhotoSource::raw);
    finish();
    EXPECT_EQ(loader.parameterState().cacheKey, (ImageCacheKey{"p.jpg", PhotoSource::raw}));
    EXPECT_TRUE(loader.parameterState().image);
    EXPECT_FALSE(loader.isRenderingParameters());
}

TEST_F(ImageLoaderTest, ARawRequestNeverShowsAnotherPhotosDevelopment) {
    decode(a);
    request(a, bright);
    finish();
    request(pair, bright, PhotoSource::raw);
    EXPECT_FALSE(shown(pair, bright, PhotoSource::raw));
}

TEST_F(ImageLoaderTest, VignetteIsPlacedForRotationAndCropWithoutBakingThemIn) {
    decode(a);
    const PhotoParameters vignette = test::with(P::vignette_amount, -40);
    ManualCrop crop;
    crop.aspect = CropAspect::ratio(1, 1);
    crop.sizeP = 50;
    request(a, vignette, std::nullopt, 0, crop);
    finish();
    ASSERT_EQ(developments.size(), 1u);
    ASSERT_TRUE(developments[0].placement);
    EXPECT_EQ(developments[0].width, 32) << "the developed image keeps the whole frame";
    EXPECT_LT(developments[0].placement->pictureSize.width, 32);
    EXPECT_EQ(loader.parameterState().crop, crop);
}

TEST_F(ImageLoaderTest, ClearingCancelsRendersAndMovesTheRevisionOnlyWhenSomethingWasThere) {
    auto revision = loader.revision();
    loader.clearParameterImage();
    EXPECT_EQ(loader.revision(), revision);
    decode(a);
    request(a, bright);
    revision = loader.revision();
    loader.clearParameterImage();
    EXPECT_EQ(loader.revision(), revision + 1);
    finish();
    EXPECT_TRUE(developments.empty());
    EXPECT_FALSE(loader.parameterState().image);
}

TEST_F(ImageLoaderTest, AfterCancelAllOnlyTheNewFolderFilesAreShown) {
    const Photo old = a;
    Photo reopened = a;
    reopened.url = "/other/a.jpg"; // another folder, same relative path
    loader.prefetch({old}, 0, {}, std::nullopt);
    executor.runAll(); // decoded; the result waits for the main thread
    undecodable.insert("x.jpg");
    decode(test::loaderPhoto("x.jpg"));
    const auto revision = loader.revision();

    loader.cancelAll();
    mainQueue.runPending();
    EXPECT_FALSE(loader.image(old, std::nullopt, false)) << "the old folder's decode was dropped";
    EXPECT_TRUE(loader.failures().contains(ImageCacheKey{"x.jpg", PhotoSource::jpeg})) << "failures stay";
    EXPECT_EQ(loader.revision(), revision);

    decode(reopened);
    const SharedImage image = loader.image(reopened, std::nullopt, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(decodedFrom[image.get()], "/other/a.jpg");
}

} // namespace
} // namespace sorvin
