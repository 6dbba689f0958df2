// What the screen shows once the image loader has done its work: the developed photo, the loupe,
// the original preview, the histogram, a JPEG/RAW switch that ends when the RAW is developed, and
// automatic straightening.

#include "app_state_fixture.hpp"
#include "persistence/preference_key.hpp"

namespace sorvin::test {
namespace {

class AppStateDisplay : public AppStateTest {
protected:
    AppStateDisplay() {
        defaults.set(PreferenceKey::sortKey, "name");
        addStandardPhotos();
    }

    // The photo area is known before the first decode arrives, as when a second folder is opened.
    void openAndLoad() {
        state().updatePhotoArea(Size{800, 600}, 1);
        openPhotos();
    }

    const Photo& current() { return *state().library()->currentPhoto(); }
    bool developedOnScreen() {
        const SharedImage shown = state().displayImage(current(), false);
        return shown && shown == state().imageLoader().parameterState().image;
    }
};

TEST_F(AppStateDisplay, TheDevelopedPhotoIsThereOnceTheLoaderIsDone) {
    openAndLoad();
    EXPECT_NE(state().displayImage(current(), false), nullptr);
    EXPECT_NE(state().loupeSourceImage(current(), false), nullptr);
    EXPECT_TRUE(state().loupeButtonIsEnabled());
}

TEST_F(AppStateDisplay, AnEditedPhotoIsDevelopedWhenItsDecodeArrivesLate) {
    openAndLoad();
    state().setCurrentParameter(PhotoParameter::exposure, 30);
    settle();
    ASSERT_TRUE(developedOnScreen());
    // The decode of the first photo of a folder arrives after the photo area asked for it.
    openPhotos();
    ASSERT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 30);
    EXPECT_TRUE(developedOnScreen());
    // The low-memory switch empties every cache and decodes again.
    state().setLowMemoryMode(true);
    settle();
    EXPECT_TRUE(developedOnScreen());
}

TEST_F(AppStateDisplay, OptionAloneTogglesTheLoupeOncePerPress) {
    openAndLoad();
    const ModifierKeys option(ModifierKey::option);
    state().handleModifierFlags(option);
    EXPECT_TRUE(state().loupeOn());
    state().handleModifierFlags(option); // still held
    EXPECT_TRUE(state().loupeOn());
    state().handleModifierFlags({});
    state().handleModifierFlags(ModifierKey::option | ModifierKey::shift);
    EXPECT_TRUE(state().loupeOn()) << "Option with another modifier does not toggle";
    state().handleModifierFlags({});
    state().handleModifierFlags(option);
    EXPECT_FALSE(state().loupeOn());

    state().toggleLoupe();
    EXPECT_TRUE(state().loupeOn());
    state().setZoomScale(2, Point{400, 300}, Size{800, 600}, Size{800, 532});
    EXPECT_FALSE(state().loupeOn()) << "zooming in from the fitted view ends the loupe";
    EXPECT_FALSE(state().loupeButtonIsEnabled());
    state().handleModifierFlags({});
    state().handleModifierFlags(option);
    EXPECT_FALSE(state().loupeOn());
}

TEST_F(AppStateDisplay, TheOriginalPreviewIsPreparedAShortWhileAfterAnEdit) {
    openAndLoad();
    state().setCurrentParameter(PhotoParameter::exposure, 30);
    queue.advance(0.1);
    state().setCurrentParameter(PhotoParameter::exposure, 40);
    queue.advance(0.29);
    EXPECT_FALSE(state().imageLoader().isPreparingOriginalPreview());
    queue.advance(0.02);
    EXPECT_TRUE(state().imageLoader().isPreparingOriginalPreview());

    settle();
    state().setShowingOriginal(true);
    EXPECT_TRUE(state().imageLoader().isShowingOriginalPreview());
    EXPECT_EQ(state().displayedParameters(current())[PhotoParameter::exposure], 0);
    // No preparation starts while the original is on screen.
    state().scheduleOriginalPreviewPreparation();
    queue.advance(0.5);
    EXPECT_FALSE(state().imageLoader().isPreparingOriginalPreview());
    state().setShowingOriginal(false);
    EXPECT_FALSE(state().imageLoader().isShowingOriginalPreview());
}

TEST_F(AppStateDisplay, ARotationDropsAPreparedPreviewAtOnce) {
    openAndLoad();
    state().setCurrentParameter(PhotoParameter::exposure, 30);
    queue.advance(0.31);
    ASSERT_TRUE(state().imageLoader().isPreparingOriginalPreview());
    state().setCurrentParameter(PhotoParameter::exposure, 35);
    EXPECT_TRUE(state().imageLoader().isPreparingOriginalPreview())
        << "exposure leaves the preview's key alone";
    state().rotateCurrent(90);
    EXPECT_FALSE(state().imageLoader().isPreparingOriginalPreview());
}

TEST_F(AppStateDisplay, TheHistogramAndTheFullSizeImageFollowThePhotoWhereMovementRests) {
    openAndLoad();
    queue.advance(0.2);
    settle();
    const ImageLoader& loader = state().imageLoader();
    EXPECT_EQ(state().histogramLoader().currentPath(), "a.jpg");
    EXPECT_TRUE(state().histogramLoader().data().has_value());
    EXPECT_TRUE(loader.hasFullResolutionImage({"a.jpg", PhotoSource::jpeg}));
    state().move(1);
    EXPECT_FALSE(state().histogramLoader().data().has_value());
    // Passed within a tenth of a second, as when Down is held: no full-size decode is started.
    queue.advance(0.1);
    settle();
    state().move(1);
    settle();
    EXPECT_FALSE(loader.hasFullResolutionImage({"b.jpg", PhotoSource::jpeg}));
    EXPECT_FALSE(loader.isDecodingFullResolution({"c.jpg", PhotoSource::jpeg}));
    queue.advance(0.15);
    settle();
    queue.advance(0.2);
    settle();
    EXPECT_EQ(state().histogramLoader().currentPath(), "c.jpg");
    EXPECT_TRUE(state().histogramLoader().data().has_value());
    EXPECT_TRUE(loader.hasFullResolutionImage({"c.jpg", PhotoSource::jpeg}));
    EXPECT_FALSE(loader.hasFullResolutionImage({"b.jpg", PhotoSource::jpeg}));
    // The loupe shows the full-size image: it is decoded at once.
    state().toggleLoupe();
    state().move(-1);
    EXPECT_TRUE(loader.isDecodingFullResolution({"b.jpg", PhotoSource::jpeg}));
}

TEST_F(AppStateDisplay, ASwitchToTheRawEndsWhenItsDevelopmentIsReady) {
    openAndLoad();
    state().toggleCurrentSource();
    ASSERT_TRUE(state().isSourceLoading());
    settle();
    EXPECT_FALSE(state().isSourceLoading());
    EXPECT_EQ(state().displayedSource(current()), PhotoSource::raw);
    EXPECT_NE(state().displayImage(current(), false), nullptr);
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::raw);
}

TEST_F(AppStateDisplay, ARawThatCannotBeDevelopedFallsBackToTheJPEG) {
    rawDevelopmentFails = true;
    openAndLoad();
    state().toggleCurrentSource();
    ASSERT_EQ(state().library()->currentSource(), PhotoSource::raw);
    settle();
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::jpeg);
    EXPECT_FALSE(state().isSourceLoading());
    EXPECT_EQ(state().toastText(), "この RAW は読み込めませんでした。JPEG に戻します");
    EXPECT_TRUE(undoManager->canUndo()) << "the switch itself stays in the history";
}

TEST_F(AppStateDisplay, StraighteningReportsWhatItFoundAndIsOneUndoStep) {
    openAndLoad();
    state().autoStraightenCurrent();
    settle();
    ASSERT_TRUE(state().toastText().has_value());
    const std::string& message = *state().toastText();
    const bool corrected = message.starts_with("傾きを ") && message.ends_with(" 補正しました");
    EXPECT_TRUE(corrected || message == "傾きは検出されませんでした（すでに水平です）" ||
                message == "傾きを検出できませんでした")
        << message;
    EXPECT_EQ(undoManager->canUndo(), corrected);
}

TEST_F(AppStateDisplay, AStraighteningResultForAnotherPhotoIsDropped) {
    openAndLoad();
    state().autoStraightenCurrent();
    state().move(1);
    settle();
    EXPECT_EQ(state().toastText(), std::nullopt);
    EXPECT_EQ(state().library()->rotation(*state().library()->photo("a.jpg"), RetouchSlot::a), 0);
}

} // namespace
} // namespace sorvin::test
