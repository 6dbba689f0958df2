#include "loading/display_ready_cache.hpp"
#include "loading/image_loader_test_support.hpp"
#include "model/random_parameter_adjustment.hpp"

namespace sorvin {
namespace {

using P = PhotoParameter;

struct ImageLoaderNeighboursTest : test::ImageLoaderFixture {
    std::vector<Photo> row;
    ImageLoaderNeighboursTest() {
        for (int i = 0; i < 12; ++i)
            row.push_back(
                test::loaderPhoto(std::string("p").append(std::to_string(i)).append(".jpg"), i == 7));
    }
    std::vector<std::string> decodedPaths() const {
        std::vector<std::string> paths;
        for (const auto& d : decodes)
            paths.push_back(d.url.filename().string());
        return paths;
    }
};

TEST_F(ImageLoaderNeighboursTest, MovingForwardDecodesTheCurrentPhotoThenSixAheadAndTwoBehind) {
    loader.prefetch(row, 2, {}, std::nullopt); // p2, p3, p1, p4 start; p0, p5, p6 wait
    executor.runAt(0);                         // p2 decoded, its result not yet delivered
    loader.prefetch(row, 5, {}, 1);            // wants p5 … p11, p4, p3
    finish();
    // p0 and p1 left the window before they ran; p2's result arrived after it left.
    EXPECT_EQ(decodedPaths(), (std::vector<std::string>{"p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg",
                                                        "p7.jpg", "p8.jpg", "p9.jpg", "p10.jpg", "p11.jpg"}));
    EXPECT_FALSE(loader.hasDisplayImage({"p2.jpg", PhotoSource::jpeg}));
    EXPECT_TRUE(loader.hasDisplayImage({"p3.jpg", PhotoSource::jpeg}));
    EXPECT_TRUE(loader.hasDisplayImage({"p11.jpg", PhotoSource::jpeg}));
}

TEST_F(ImageLoaderNeighboursTest, PlanningTwiceOrOverCachedImagesAddsNothing) {
    loader.prefetch(row, 5, {}, std::nullopt);
    loader.prefetch(row, 5, {}, std::nullopt);
    EXPECT_EQ(loader.displayDecodeCount(), 9u);
    finish();
    loader.prefetch(row, 5, {}, std::nullopt);
    EXPECT_EQ(loader.displayDecodeCount(), 0u);
    EXPECT_EQ(decodes.size(), 9u);
}

TEST_F(ImageLoaderNeighboursTest, ARawSourceIsNeverDecodedAndItsRunningDecodeIsCancelled) {
    loader.prefetch(row, 7, {}, std::nullopt);
    EXPECT_TRUE(loader.isDecodingDisplayImage({"p7.jpg", PhotoSource::jpeg}));
    loader.prefetch(row, 7, {{"p7.jpg", PhotoSource::raw}}, std::nullopt);
    EXPECT_FALSE(loader.isDecodingDisplayImage({"p7.jpg", PhotoSource::jpeg}));
    finish();
    for (const auto& d : decodes)
        EXPECT_NE(d.url.filename(), "p7.jpg");
}

TEST_F(ImageLoaderNeighboursTest, DisplayDecodesAreCappedAndFullSizeDecodesAreNative) {
    const Photo large = test::loaderPhoto("large.jpg", false, 6000, 4000);
    loader.prefetch({large}, 0, {}, std::nullopt);
    loader.requestFullResolution(large, std::nullopt);
    finish();
    ASSERT_EQ(decodes.size(), 2u);
    EXPECT_EQ(decodes[0].maximumPixelSize, 3200);
    EXPECT_EQ(decodes[1].maximumPixelSize, 6000);
    EXPECT_TRUE(loader.hasFullResolutionImage({"large.jpg", PhotoSource::jpeg}));
    EXPECT_NE(loader.image(large, std::nullopt, true), loader.image(large, std::nullopt, false));
}

TEST_F(ImageLoaderNeighboursTest, AFailedDecodeIsRememberedUntilTheNextPlanTriesAgain) {
    undecodable.insert("p0.jpg");
    const auto revision = loader.revision();
    loader.prefetch(row, 0, {}, std::nullopt);
    finish();
    const ImageCacheKey key{"p0.jpg", PhotoSource::jpeg};
    EXPECT_TRUE(loader.failures().contains(key));
    EXPECT_EQ(loader.revision(), revision + 5) << "one per finished decode, failed or not";
    EXPECT_EQ(availabilityCalls, 0);
    undecodable.clear();
    loader.prefetch(row, 0, {}, std::nullopt);
    EXPECT_FALSE(loader.failures().contains(key));
    finish();
    EXPECT_TRUE(loader.hasDisplayImage(key));
}

TEST_F(ImageLoaderNeighboursTest, ADecodeThatThrowsCountsAsFailedAndCanBeTriedAgain) {
    const Photo photo = test::loaderPhoto("throws.jpg");
    decode(photo);
    EXPECT_TRUE(loader.failures().contains(ImageCacheKey{"throws.jpg", PhotoSource::jpeg}));
    EXPECT_EQ(loader.displayDecodeCount(), 0u);
    decode(photo);
    EXPECT_EQ(decodes.size(), 2u);
}

TEST_F(ImageLoaderNeighboursTest, FullSizeDecodingServesOnlyTheCurrentPhotoAndNeverRaw) {
    loader.requestFullResolution(row[7], PhotoSource::raw);
    EXPECT_FALSE(loader.isDecodingFullResolution({"p7.jpg", PhotoSource::raw}));
    loader.requestFullResolution(row[0], std::nullopt);
    mainQueue.runPending();                             // handed to the executor
    loader.requestFullResolution(row[1], std::nullopt); // waits; p0 is cancelled
    EXPECT_FALSE(loader.isDecodingFullResolution({"p0.jpg", PhotoSource::jpeg}));
    finish();
    EXPECT_EQ(decodedPaths(), (std::vector<std::string>{"p1.jpg"}));

    undecodable.insert("p2.jpg");
    const auto revision = loader.revision();
    loader.requestFullResolution(row[2], std::nullopt);
    finish();
    EXPECT_TRUE(loader.failures().empty()) << "a failed full-size decode records nothing";
    EXPECT_EQ(loader.revision(), revision);
}

TEST_F(ImageLoaderNeighboursTest, TheFullSizeDecodeWaitsForTheDisplayDecodes) {
    // Asked for first, as a step does, before the display decodes are planned.
    loader.requestFullResolution(row[5], std::nullopt);
    loader.prefetch(row, 5, {}, std::nullopt);
    EXPECT_TRUE(loader.isDecodingFullResolution({"p5.jpg", PhotoSource::jpeg}));
    loader.requestFullResolution(row[5], std::nullopt);
    finish();
    ASSERT_EQ(decodes.size(), 10u) << "asked twice, decoded once";
    EXPECT_EQ(decodes.back().url.filename(), "p5.jpg") << "after the nine display decodes";
    EXPECT_TRUE(loader.hasFullResolutionImage({"p5.jpg", PhotoSource::jpeg}));

    // Waiting, it gives way to another photo's request, and to a stop of all full-size work.
    loader.prefetch(row, 9, {}, 1);
    loader.requestFullResolution(row[9], std::nullopt);
    loader.requestFullResolution(row[10], std::nullopt);
    loader.cancelFullResolutionLoading();
    EXPECT_FALSE(loader.isDecodingFullResolution({"p10.jpg", PhotoSource::jpeg}));
    finish();
    EXPECT_FALSE(loader.hasFullResolutionImage({"p9.jpg", PhotoSource::jpeg}));
    EXPECT_FALSE(loader.hasFullResolutionImage({"p10.jpg", PhotoSource::jpeg}));
}

TEST_F(ImageLoaderNeighboursTest, FullSizeRawFollowsTheRawSettings) {
    const Photo& photo = row[7];
    const PhotoParameters first = test::with(P::raw_exposure, 50);
    loader.updateFullResolutionRaw(photo, first, false);
    EXPECT_FALSE(loader.isDevelopingFullResolutionRaw()) << "made only when asked";
    loader.updateFullResolutionRaw(photo, first, true);
    loader.updateFullResolutionRaw(photo, test::with(P::exposure, 10, first), true); // same RAW settings
    finish();
    EXPECT_EQ(fullSizeRawDevelopments, 1);
    const FullResolutionRawCacheKey key{"p7.jpg", RawDevelopmentSettings(first)};
    EXPECT_TRUE(fullRawCache->result(key));
    EXPECT_EQ(availabilityCalls, 1);

    loader.updateFullResolutionRaw(photo, test::with(P::raw_exposure, 60), false);
    EXPECT_FALSE(fullRawCache->result(key)) << "other settings drop it even when not asked to develop";

    loader.updateFullResolutionRaw(photo, first, true);
    loader.discardFullResolutionRaw();
    finish();
    EXPECT_FALSE(fullRawCache->result(key)) << "a discarded development is not stored";
}

TEST_F(ImageLoaderNeighboursTest, LowMemoryModeEmptiesEverythingOnceAndOnlyOnAChange) {
    undecodable.insert("p1.jpg");
    loader.prefetch(row, 0, {}, std::nullopt);
    finish();
    loader.requestParameters(row[0], test::with(P::exposure, 5), std::nullopt, 0, {}, false, 10, 2, 1);
    loader.requestFullResolution(row[0], std::nullopt);
    finish();
    auto revision = loader.revision();
    loader.setLowMemoryMode(false);
    EXPECT_EQ(loader.revision(), revision);

    loader.setLowMemoryMode(true);
    EXPECT_TRUE(loader.lowMemoryMode());
    EXPECT_EQ(loader.revision(), revision + 1);
    EXPECT_FALSE(loader.hasDisplayImage({"p0.jpg", PhotoSource::jpeg}));
    EXPECT_FALSE(loader.hasFullResolutionImage({"p0.jpg", PhotoSource::jpeg}));
    EXPECT_FALSE(loader.parameterState().image);
    EXPECT_TRUE(loader.failures().empty());
}

TEST_F(ImageLoaderNeighboursTest, AStepOntoAPreparedNeighbourOnlyPublishesItsDevelopedImage) {
    const PhotoParameters edited = test::with(P::exposure, 20);
    loader.prefetch(row, 2, {}, 1);
    loader.prepareNeighbours({{row[3], PhotoSource::jpeg, edited, 0, {}},
                              {row[4], PhotoSource::jpeg, {}, 0, {}},
                              {row[5], PhotoSource::jpeg, edited, 0, {}},
                              {row[1], PhotoSource::jpeg, edited, 0, {}}},
                             10, 2);
    finish();
    ASSERT_EQ(developments.size(), 2u) << "an undeveloped and a fourth neighbour are not made";
    EXPECT_EQ(developments[0].width, 32) << "made at the display size";

    const auto revision = loader.revision();
    request(row[3], edited);
    EXPECT_FALSE(loader.isRenderingParameters());
    EXPECT_EQ(loader.revision(), revision + 1);
    EXPECT_TRUE(loader.isDisplayReady(row[3], PhotoSource::jpeg, edited, 0, {}, false));
    EXPECT_EQ(loader.displayReadyCount(), 1u);
    finish();
    EXPECT_EQ(developments.size(), 2u);
    EXPECT_EQ(availabilityCalls, 1);

    // Made for other values than the photo now has: never shown, developed anew.
    loader.prepareNeighbours({{row[4], PhotoSource::jpeg, edited, 0, {}}}, 10, 2);
    finish();
    request(row[4], test::with(P::exposure, 21));
    EXPECT_TRUE(loader.isRenderingParameters());
    finish();
    EXPECT_EQ(developments.size(), 4u);
    EXPECT_EQ(developments[3].parameters, test::with(P::exposure, 21));

    // Low-memory mode keeps one neighbour ready.
    loader.setLowMemoryMode(true);
    loader.prefetch(row, 2, {}, 1);
    loader.prepareNeighbours(
        {{row[3], PhotoSource::jpeg, edited, 0, {}}, {row[4], PhotoSource::jpeg, edited, 0, {}}}, 10, 2);
    finish();
    EXPECT_EQ(loader.displayReadyCount(), 1u);
}

// A neighbour made from its full-size image may be stepped onto once that image has left its cache
// (or one made from the display decode once the full-size image has come): the step is served by
// the other decode of the same photo, and still only publishes what was made.
TEST(DisplayReadyCacheTest, AnImageMadeFromAnotherDecodeOfThePhotoServesTheSameRequest) {
    const PhotoParameters edited = test::with(P::exposure, 20);
    const ImageCacheKey photo{"a.jpg", PhotoSource::jpeg};
    const DisplayRequest fromFullSize{photo, edited, 90, {}, {6000, 4000}, 2816};
    DisplayReadyCache cache(3);
    const auto stored = [&] {
        cache.clear();
        cache.store(fromFullSize, {test::blankImage(4, 3), std::nullopt});
    };
    DisplayRequest fromDisplayDecode = fromFullSize;
    fromDisplayDecode.sourceSize = {3000, 2000};
    stored();
    EXPECT_TRUE(cache.take(fromDisplayDecode).image);
    EXPECT_EQ(cache.count(), 0u);
    // Anything else that shapes the picture is another picture.
    using Change = void (*)(DisplayRequest&);
    for (const Change other : {Change([](DisplayRequest& r) { r.parameters = test::with(P::exposure, 21); }),
                               Change([](DisplayRequest& r) { r.rotation = 0; }),
                               Change([](DisplayRequest& r) { r.targetLongEdge = 1408; }),
                               Change([](DisplayRequest& r) { r.key.source = PhotoSource::raw; }),
                               Change([](DisplayRequest& r) { r.key.path = "b.jpg"; })}) {
        stored();
        DisplayRequest request = fromDisplayDecode;
        other(request);
        EXPECT_FALSE(cache.take(request).image);
    }
}

TEST_F(ImageLoaderNeighboursTest, AStepBeforeTheNeighbourIsReadyTakesOverItsPreparation) {
    const PhotoParameters edited = test::with(P::exposure, 20);
    decode(row[3]);
    loader.prepareNeighbours({{row[3], PhotoSource::jpeg, edited, 0, {}}}, 10, 2);
    request(row[3], edited);
    EXPECT_TRUE(loader.isRenderingParameters());
    EXPECT_EQ(loader.neighbourPreparationCount(), 0u);
    loader.prepareNeighbours({}, 10, 2); // the new photo's neighbours do not cancel it
    finish();
    EXPECT_EQ(developments.size(), 1u);
    EXPECT_TRUE(loader.isDisplayReady(row[3], PhotoSource::jpeg, edited, 0, {}, false));
    EXPECT_EQ(availabilityCalls, 1);
}

TEST_F(ImageLoaderNeighboursTest, ARawNeighbourIsDevelopedAheadWithoutDisplacingTheShownPhotosDevelopment) {
    const PhotoParameters edited = test::with(P::exposure, 20, test::with(P::raw_exposure, 10));
    const Photo shown = test::loaderPhoto("shown.nef");
    request(shown, edited);
    finish();
    loader.prepareNeighbours({{row[7], PhotoSource::raw, edited, 0, {}}}, 10, 2);
    finish();
    EXPECT_EQ(rawDevelopments, 2);
    EXPECT_TRUE(rawCache->cachedResult("shown.nef")) << "the shown photo's development stays cached";

    // The step, as the application makes it: it forgets the old photo, then asks for the new one.
    loader.clearParameterImage();
    loader.clearRawDevelopmentCache();
    const auto revision = loader.revision();
    request(row[7], edited, PhotoSource::raw);
    EXPECT_EQ(executor.waiting(), 0u) << "the step runs no background work";
    EXPECT_EQ(loader.revision(), revision + 1);
    EXPECT_TRUE(loader.isDisplayReady(row[7], PhotoSource::raw, edited, 0, {}, false));
    EXPECT_EQ(loader.parameterState().sourceSize, (PixelSize{1600, 1066})) << "of the RAW development";
    EXPECT_TRUE(rawCache->cachedResult(RawDevelopmentCacheKey{"p7.jpg", RawDevelopmentSettings(edited)}));
    finish();
    EXPECT_EQ(rawDevelopments, 2);
    EXPECT_EQ(availabilityCalls, 2);

    // A step before the neighbour is ready takes its development over, which then enters the cache.
    const PhotoParameters other = test::with(P::raw_exposure, 30);
    loader.prepareNeighbours({{shown, PhotoSource::raw, other, 0, {}}}, 10, 2);
    loader.clearParameterImage();
    loader.clearRawDevelopmentCache();
    request(shown, other);
    EXPECT_TRUE(loader.isRenderingParameters());
    EXPECT_EQ(loader.neighbourPreparationCount(), 0u);
    finish();
    EXPECT_EQ(rawDevelopments, 3);
    EXPECT_TRUE(loader.isDisplayReady(shown, PhotoSource::raw, other, 0, {}, false));
}

struct OriginalPreviewTest : ImageLoaderNeighboursTest {
    const Photo& photo = row[7];
    const PhotoParameters edited = test::with(P::exposure, 30, test::with(P::raw_exposure, 50));

    void prepare(PhotoSource source, double rotation = 0, const PhotoParameters* parameters = nullptr) {
        loader.prepareOriginalPreview(photo, parameters ? *parameters : edited, source, rotation, {}, false,
                                      10, 2, 1);
    }
};

TEST_F(OriginalPreviewTest, APreparedPreviewShowsAtOnceAndTheDevelopmentComesBack) {
    decode(photo);
    request(photo, edited);
    finish();
    const SharedImage developed = loader.parameterState().image;
    prepare(PhotoSource::jpeg);
    finish();
    ASSERT_EQ(developments.size(), 2u);
    EXPECT_EQ(developments[1].parameters, originalPhotoParameters(edited));
    EXPECT_FALSE(developments[1].placement);

    const auto revision = loader.revision();
    loader.beginOriginalPreview();
    loader.beginOriginalPreview();
    EXPECT_EQ(loader.revision(), revision + 1) << "a second begin saves nothing";
    EXPECT_TRUE(loader.isShowingOriginalPreview());
    const SharedImage original = loader.parameterState().image;
    ASSERT_TRUE(original);
    EXPECT_NE(original, developed);
    EXPECT_EQ(loader.adjustedImage(photo, originalPhotoParameters(edited), std::nullopt, 0, {}, false),
              original);

    request(photo, edited); // the developed image waits in the snapshot
    EXPECT_FALSE(loader.isRenderingParameters());

    loader.endOriginalPreview();
    EXPECT_EQ(loader.parameterState().image, developed);
    EXPECT_EQ(loader.parameterState().values, edited);
    loader.endOriginalPreview();
    EXPECT_EQ(loader.revision(), revision + 2) << "an end without a begin does nothing";
}

TEST_F(OriginalPreviewTest, WithoutAPreparedPreviewTheUndevelopedImageShows) {
    decode(photo);
    request(photo, edited);
    finish();
    loader.beginOriginalPreview();
    EXPECT_FALSE(loader.parameterState().image);
    EXPECT_EQ(loader.adjustedImage(photo, edited, std::nullopt, 0, {}, false),
              loader.image(photo, std::nullopt, false));
}

TEST_F(OriginalPreviewTest, ARawPreviewDevelopsPastTheRawCache) {
    request(photo, edited, PhotoSource::raw);
    finish();
    const int before = rawDevelopments;
    const auto cached =
        rawCache->cachedResult(RawDevelopmentCacheKey{"p7.jpg", RawDevelopmentSettings(edited)});
    ASSERT_TRUE(cached);
    prepare(PhotoSource::raw);
    finish();
    EXPECT_EQ(rawDevelopments, before + 1);
    EXPECT_EQ(rawCache->uncachedDevelopmentCount(), 1);
    const auto after =
        rawCache->cachedResult(RawDevelopmentCacheKey{"p7.jpg", RawDevelopmentSettings(edited)});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->image, cached->image) << "the edited photo's development stays cached";
    EXPECT_FALSE(previewCache->isEmpty());
}

TEST_F(OriginalPreviewTest, ANewRotationOrRawSettingPreparesAnew) {
    prepare(PhotoSource::raw);
    finish();
    prepare(PhotoSource::raw);
    finish();
    EXPECT_EQ(rawCache->uncachedDevelopmentCount(), 1) << "prepared once for one key";
    prepare(PhotoSource::raw, 0.5);
    finish();
    EXPECT_EQ(rawCache->uncachedDevelopmentCount(), 2);
    const PhotoParameters otherRaw = test::with(P::raw_exposure, 70, edited);
    prepare(PhotoSource::raw, 0.5, &otherRaw);
    finish();
    EXPECT_EQ(rawCache->uncachedDevelopmentCount(), 3) << "the unedited RAW carries its RAW settings";

    loader.discardOriginalPreview();
    EXPECT_TRUE(previewCache->isEmpty());
}

} // namespace
} // namespace sorvin
