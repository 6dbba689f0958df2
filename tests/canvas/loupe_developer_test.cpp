#include "canvas/loupe_developer.hpp"
#include "export/exporter_rendering.hpp"
#include "platform/image_region.hpp"
#include "support/manual_main_queue.hpp"
#include "support/screen_picture.hpp"
#include "support/test_parameters.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

// A loupe of 200 points over a photo fitted at two pixels per point: regions of 80 pixels.
class LoupeDeveloperTest : public ::testing::Test {
protected:
    void SetUp() override {
        Photo photo;
        photo.url = test::sample("jpeg/iceland_srgb_untagged_nikon_d800e.jpg");
        photo.relativePath = "iceland.jpg";
        photo.fileFormat = PhotoFileFormat::jpeg;
        source = Exporter::fileDecoder()(photo, PhotoSource::jpeg, 0);
        ASSERT_TRUE(source);
        edit = {source,
                test::withMask(MaskKind::circular(), {{PhotoParameter::circular_mask_amount, 100},
                                                      {PhotoParameter::clarity, 60},
                                                      {PhotoParameter::sharpen_amount, 80}}),
                90, ManualCrop{CropAspect::ratio(1, 1), 80, 4000, 6000}, ImageCacheKey{"iceland.jpg"}};
        edit.parameters.setValue(40, PhotoParameter::texture);
    }

    LoupeGeometry at(Point pointer) const {
        const Size fitted{source->width() / 2.0, source->height() / 2.0};
        return LoupeGeometry::make(source->width(), source->height(), fitted,
                                   {0, 0, fitted.width, fitted.height}, pointer, edit.rotation, 200);
    }

    // The loupe's picture is the screen's development of the edit there, byte for byte.
    void expectScreensPixels(const LoupePicture& picture) { expectScreensPixels(picture, edit); }
    void expectScreensPixels(const LoupePicture& picture, const LoupeEdit& of) {
        ASSERT_TRUE(picture.image && picture.geometry.region);
        const Rect& region = *picture.geometry.region;
        const SharedImage screen = test::screenDevelopment(source, of.parameters, of.rotation, of.crop);
        ASSERT_TRUE(screen);
        EXPECT_EQ(
            test::differingPixels(*picture.image, *ImageRegion::copy(screen, static_cast<int>(region.minX()),
                                                                     static_cast<int>(region.minY()),
                                                                     static_cast<int>(region.width),
                                                                     static_cast<int>(region.height))),
            0);
    }

    test::ManualMainQueue queue;
    test::ManualExecutor executor;
    int readies = 0;
    LoupeDeveloper developer{queue, executor, [this] { ++readies; }};
    SharedImage source;
    LoupeEdit edit;
};

// A move never develops on the main thread: until the whole photo is developed, the latest move's
// region is developed in the background, ahead of the whole photo, and the last one ready shows;
// then every move is cut from the whole development, with the screen's pixels either way.
TEST_F(LoupeDeveloperTest, MovesShowTheLastRegionReadyUntilTheWholePhotoIsDeveloped) {
    EXPECT_FALSE(developer.picture(edit, at({150, 100})));
    ASSERT_EQ(executor.waiting(), 2u); // the region, then the whole photo
    EXPECT_FALSE(developer.picture(edit, at({151, 100})));
    EXPECT_FALSE(developer.picture(edit, at({152, 101})));
    EXPECT_EQ(executor.waiting(), 2u) << "later moves wait for the region under way";

    executor.runAt(0);
    queue.runPending();
    EXPECT_EQ(readies, 1);
    EXPECT_FALSE(developer.hasWholeDevelopment()) << "the region came first";
    ASSERT_EQ(executor.waiting(), 2u) << "the latest move's region follows, the one between is skipped";
    const auto first = developer.picture(edit, at({152, 101}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->geometry, at({150, 100})) << "the last region ready, with its own place";
    expectScreensPixels(*first);

    executor.runAt(1);
    queue.runPending();
    const auto latest = developer.picture(edit, at({152, 101}));
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->geometry, at({152, 101}));

    executor.runAt(0);
    queue.runPending();
    ASSERT_TRUE(developer.hasWholeDevelopment());
    const std::size_t started = executor.started();
    const auto cut = developer.picture(edit, at({40, 130}));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->geometry, at({40, 130}));
    expectScreensPixels(*cut);
    EXPECT_EQ(executor.started(), started) << "no more work once the whole photo is developed";
}

// A region whose development reads most of the photo is not developed alone: the whole photo's
// development comes about as soon.
TEST_F(LoupeDeveloperTest, AWideReachingEditWaitsForTheWholePhoto) {
    for (int i = 0; i < 3; ++i) {
        const auto mask = edit.parameters.appendMask(MaskKind::linear());
        edit.parameters.setValue(100, PhotoParameter::clarity, ParameterEditTarget::mask(*mask));
    }
    EXPECT_FALSE(developer.picture(edit, at({150, 100})));
    EXPECT_FALSE(developer.picture(edit, at({160, 100})));
    ASSERT_EQ(executor.waiting(), 1u);
    executor.runAll();
    queue.runPending();
    const auto picture = developer.picture(edit, at({160, 100}));
    ASSERT_TRUE(picture);
    expectScreensPixels(*picture);
}

// After an edit the loupe keeps its picture until the new edit's is ready: cut at the pointer's new
// place from the earlier edit's whole development, then the new edit's own, and never the earlier
// edit's again.
TEST_F(LoupeDeveloperTest, AfterAnEditTheEarlierPictureShowsUntilTheNewOneIsReady) {
    developer.picture(edit, at({150, 100}));
    executor.runAll();
    queue.runPending();
    ASSERT_TRUE(developer.hasWholeDevelopment());

    LoupeEdit changed = edit;
    changed.parameters.setValue(30, PhotoParameter::exposure);
    const auto moved = developer.picture(changed, at({60, 140}));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->geometry, at({60, 140}));
    expectScreensPixels(*moved, edit);
    EXPECT_FALSE(developer.hasWholeDevelopment());
    ASSERT_EQ(executor.waiting(), 2u); // the changed edit's region, then its whole photo

    const int before = readies;
    executor.runAt(0);
    queue.runPending();
    EXPECT_EQ(readies, before + 1);
    const auto region = developer.picture(changed, at({100, 60}));
    ASSERT_TRUE(region);
    EXPECT_EQ(region->geometry, at({60, 140})) << "the new edit's region, with its own place";
    expectScreensPixels(*region, changed);

    executor.runAll();
    queue.runPending();
    const auto cut = developer.picture(changed, at({100, 60}));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->geometry, at({100, 60}));
    expectScreensPixels(*cut, changed);
}

// An earlier edit's whole development never shows once the edit changed: done before the change
// but arriving after it, it is dropped. Its region under way is finished and stands in until the
// changed edit's own region, which waits for it, is ready. Nothing stands in for another file's
// picture, nor is kept once the loupe hides.
TEST_F(LoupeDeveloperTest, AnEarlierEditsWholeDevelopmentThatArrivesLateIsNeverShown) {
    developer.picture(edit, at({150, 100}));
    ASSERT_EQ(executor.waiting(), 2u);
    executor.runAt(1); // the whole photo: done, its report still to come

    LoupeEdit changed = edit;
    changed.parameters.setValue(30, PhotoParameter::exposure);
    EXPECT_FALSE(developer.picture(changed, at({150, 100}))) << "nothing was shown yet";
    ASSERT_EQ(executor.waiting(), 2u) << "the first edit's region, and the changed edit's whole photo";
    executor.runAt(0); // the first edit's region
    queue.runPending();
    EXPECT_EQ(readies, 1);
    EXPECT_FALSE(developer.hasWholeDevelopment());
    const auto standIn = developer.picture(changed, at({60, 140}));
    ASSERT_TRUE(standIn);
    EXPECT_EQ(standIn->geometry, at({150, 100}));
    expectScreensPixels(*standIn, edit);
    ASSERT_EQ(executor.waiting(), 2u) << "the changed edit's region followed";
    executor.runAt(1);
    queue.runPending();
    EXPECT_EQ(readies, 2);
    const auto shown = developer.picture(changed, at({60, 140}));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->geometry, at({150, 100})) << "the changed edit's region, not a cut of the earlier whole";
    expectScreensPixels(*shown, changed);

    LoupeEdit other = changed;
    other.file = {"other.jpg"};
    EXPECT_FALSE(developer.picture(other, at({60, 140})));

    developer.clear();
    executor.runAll();
    queue.runPending();
    EXPECT_FALSE(developer.hasWholeDevelopment());
    EXPECT_FALSE(developer.picture(changed, at({60, 140})));
    EXPECT_EQ(readies, 2);
}

// While a held key steps the edit faster than a region develops, each region under way is
// finished and shown, and the next is developed for the newest edit: the loupe follows the key
// one region behind, with no whole development ever finished.
TEST_F(LoupeDeveloperTest, WhileAKeyStepsTheEditTheLoupeShowsEachRegionItFinishes) {
    const LoupeGeometry place = at({150, 100});
    // Runs the work in the order it was handed over until a picture comes.
    const auto runUntilReady = [&] {
        const int before = readies;
        while (executor.waiting() > 0 && readies == before) {
            executor.runAt(0);
            queue.runPending();
        }
    };
    EXPECT_FALSE(developer.picture(edit, place));
    LoupeEdit developing = edit; // the edit of the region under way
    for (int step = 1; step <= 4; ++step) {
        LoupeEdit stepped = edit;
        stepped.parameters.setValue(10 * step, PhotoParameter::exposure);
        developer.picture(stepped, place); // the next step comes before the region is done
        runUntilReady();
        const auto shown = developer.picture(stepped, place);
        ASSERT_TRUE(shown) << step;
        expectScreensPixels(*shown, developing);
        EXPECT_FALSE(developer.hasWholeDevelopment()) << step;
        developing = stepped;
    }
}

} // namespace
} // namespace sorvin
