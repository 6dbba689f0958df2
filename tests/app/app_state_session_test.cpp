// A whole headless session over a folder of real photos: open, move, heart, edit with undo, save,
// reopen.

#include "app_state_fixture.hpp"
#include "export/export_error.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "persistence/preference_key.hpp"
#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "support/failing_writes.hpp"
#include "support/held_writes.hpp"

#include <fstream>

namespace sorvin::test {
namespace {

class AppStateSession : public AppStateTest {
protected:
    AppStateSession() {
        defaults.set(PreferenceKey::sortKey, "name");
        defaults.set(PreferenceKey::sortAscending, true);
        addStandardPhotos();
    }

    std::filesystem::path record() const { return photos() / "sorvin.json"; }
    // Whether the record is on disk once the saves asked for so far have been written.
    bool written() {
        executor.runAll();
        return std::filesystem::exists(record());
    }
    // Where the record stands once the saves have been written and reported.
    RecordSaving finishSaving() {
        std::optional<RecordSaving> saving;
        state().finishSaving([&](RecordSaving outcome) { saving = outcome; });
        settle();
        EXPECT_TRUE(saving.has_value());
        return saving.value_or(RecordSaving::stillWriting);
    }
};

TEST_F(AppStateSession, OpeningAFolderScansItAndShowsItsPhotos) {
    std::vector<AppScreen> screens;
    auto connection = state().changed.connect([&](AppStateProperty property) {
        if (property == AppStateProperty::screen) screens.push_back(state().screen());
    });
    state().open(photos());
    EXPECT_EQ(state().screen(), AppScreen::loading);
    EXPECT_EQ(state().library(), nullptr);
    settle();

    EXPECT_EQ(screens, (std::vector{AppScreen::loading, AppScreen::select}));
    ASSERT_NE(state().library(), nullptr);
    EXPECT_EQ(state().library()->visiblePhotos().size(), 3u);
    EXPECT_EQ(currentPath(), "a.jpg");
    EXPECT_TRUE(state().library()->currentPhoto()->hasRawCompanion());
    EXPECT_EQ(state().loadingTotal(), 4);
    const std::string folder = FolderScanner::standardized(photos()).string();
    EXPECT_EQ(state().recentFolders(), std::vector<std::string>{folder});
    EXPECT_EQ(defaults.string(PreferenceKey::lastFolder), folder);
    EXPECT_EQ(state().toastText(), std::nullopt);
    // The EXIF of the current photo is read once the folder is open.
    EXPECT_EQ(state().exifLoader().currentPath(), "a.jpg");
}

TEST_F(AppStateSession, MovingStopsAtBothEndsWithAMessage) {
    openPhotos();
    EXPECT_TRUE(state().move(1));
    EXPECT_EQ(currentPath(), "b.jpg");
    EXPECT_EQ(state().lastNavigationDirection(), 1);
    EXPECT_TRUE(state().move(1));
    EXPECT_FALSE(state().move(1));
    EXPECT_EQ(currentPath(), "c.jpg");
    EXPECT_EQ(state().toastText(), "最後の写真です");

    state().jumpToStart();
    EXPECT_EQ(state().lastNavigationDirection(), std::nullopt);
    EXPECT_FALSE(state().move(-1));
    EXPECT_EQ(currentPath(), "a.jpg");
    EXPECT_EQ(state().toastText(), "最初の写真です");
    queue.advance(1.49);
    EXPECT_TRUE(state().toastIsVisible());
    queue.advance(0.02);
    EXPECT_FALSE(state().toastIsVisible());
}

TEST_F(AppStateSession, EXIFAndHistogramWaitUntilMovementRests) {
    openPhotos();
    state().move(1);
    queue.advance(0.1);
    state().move(1);
    queue.advance(0.1);
    EXPECT_EQ(state().exifLoader().currentPath(), std::nullopt);
    queue.advance(0.06);
    settle();
    EXPECT_EQ(state().exifLoader().currentPath(), "c.jpg");
    EXPECT_TRUE(state().exifLoader().metadata().has_value());
}

TEST_F(AppStateSession, AHeartShowsItsOverlayAndMessageForTheirTimes) {
    openPhotos();
    state().toggleHeart();
    ASSERT_TRUE(state().heartFeedback().has_value());
    const auto first = *state().heartFeedback();
    EXPECT_EQ(first.kind, HeartFeedbackKind::added);
    EXPECT_TRUE(state().heartFeedbackIsVisible());
    EXPECT_EQ(state().toastText(), "♡を付けました");
    EXPECT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));

    queue.advance(0.3);
    // A second toggle within the overlay's time starts a new presentation with its full time.
    state().toggleHeart();
    EXPECT_EQ(state().heartFeedback()->kind, HeartFeedbackKind::removed);
    EXPECT_NE(state().heartFeedback()->id, first.id);
    EXPECT_EQ(state().toastText(), "♡をはずしました");
    queue.advance(0.34);
    EXPECT_TRUE(state().heartFeedbackIsVisible());
    queue.advance(0.02);
    EXPECT_FALSE(state().heartFeedbackIsVisible());
    EXPECT_TRUE(state().heartFeedback().has_value());
    queue.advance(0.15);
    EXPECT_FALSE(state().heartFeedback().has_value());

    // The message: 0.5 s, then a 0.3 s fade before the text goes.
    EXPECT_FALSE(state().toastIsVisible());
    EXPECT_EQ(state().toastText(), "♡をはずしました");
    queue.advance(0.3);
    EXPECT_EQ(state().toastText(), std::nullopt);
}

TEST_F(AppStateSession, ChangesAreWrittenHalfASecondAfterTheLastAndAtLatestTwoAfterTheFirst) {
    openPhotos();
    for (int i = 0; i < 10; ++i) {
        state().adjustCurrentParameter(PhotoParameter::exposure, 1);
        queue.advance(0.1);
    }
    EXPECT_FALSE(written());
    queue.advance(0.39);
    EXPECT_FALSE(written());
    queue.advance(0.02);
    ASSERT_TRUE(written());
    const SelectionLoadResult saved =
        SelectionStore(photos(), root / "support", root / "legacy-support").load();
    EXPECT_EQ(saved.params.at("a.jpg")[PhotoParameter::exposure], 10);
    EXPECT_EQ(saved.cursor, "a.jpg");

    // Steps that never rest half a second are written two seconds after the first of them.
    std::filesystem::remove(record());
    for (int i = 0; i < 5; ++i) {
        state().adjustCurrentParameter(PhotoParameter::exposure, 1);
        queue.advance(i < 4 ? 0.4 : 0.39);
    }
    EXPECT_FALSE(written());
    queue.advance(0.02);
    ASSERT_TRUE(written());
    EXPECT_EQ(SelectionStore(photos(), root / "support", root / "legacy-support")
                  .load()
                  .params.at("a.jpg")[PhotoParameter::exposure],
              15);
    std::filesystem::remove(record());
    queue.advance(1.0);
    EXPECT_FALSE(written()) << "nothing was left to write";

    // A held key's steps: a save due just after a step waits until its photo has had a frame, and
    // the steps that follow do not put the deadline off.
    for (int i = 0; i <= 20; ++i) {
        state().move(i % 2 == 0 ? 1 : -1);
        queue.advance(i < 19 ? 0.1 : i == 19 ? 0.095 : 0.006); // the last step 5 ms before the deadline
    }
    EXPECT_FALSE(written()) << "written in the frame after a step";
    queue.advance(0.011);
    EXPECT_TRUE(written());
}

TEST_F(AppStateSession, QuittingSavesAtOnceAndThePendingSaveNeverRuns) {
    openPhotos();
    state().toggleHeart();
    queue.advance(0.2);
    state().prepareForTermination();
    ASSERT_TRUE(written()) << "quitting hands the record over at once";
    std::filesystem::remove(record());
    queue.advance(1.0);
    EXPECT_FALSE(written()) << "a save was still pending after quitting";
}

// The main thread only takes the values of the moment; the record is written in the background.
// Opening the folder again reads the record once the save before has been written.
TEST_F(AppStateSession, ASaveWritesTheValuesOfItsMomentInTheBackground) {
    const auto load = [&](const std::filesystem::path& folder) {
        return SelectionStore(folder, root / "support", root / "legacy-support").load();
    };
    openPhotos();
    state().toggleHeart();
    state().saveNow();
    EXPECT_FALSE(std::filesystem::exists(record())) << "written on the main thread";
    state().move(1);
    state().toggleHeart();
    executor.runAll();
    EXPECT_EQ(load(photos()).hearts, std::set<std::string>{"a.jpg"});
    EXPECT_EQ(load(photos()).cursor, "a.jpg");

    state().open(photos());
    executor.runAt(executor.waiting() - 1); // the scan, before the save of the second heart
    queue.runPending();
    EXPECT_EQ(state().screen(), AppScreen::loading) << "the record is read once the save has ended";
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_TRUE(state().library()->containsHeart("b.jpg", RetouchSlot::a));
}

// The same with a save the disk holds, on the worker that writes records: the folder opened again
// waits for it on the loading screen as long as it takes, and what follows writes the edit again
// rather than the values from before it.
TEST_F(AppStateSession, ReopeningAFolderWhoseSaveTheDiskHoldsKeepsTheEdit) {
    HeldWrites files;
    ThreadExecutor recordWriter;
    recordFiles = &files;
    recordExecutor = &recordWriter;
    openPhotos();
    state().setCurrentParameter(PhotoParameter::exposure, 40);
    state().saveNow();
    recordWriter.joinAll();
    queue.runPending();

    files.hold();
    state().adjustCurrentParameter(PhotoParameter::exposure, -5);
    state().open(photos());
    ASSERT_TRUE(files.waitUntilWriteStarted(2));
    settle();
    queue.advance(600);
    EXPECT_EQ(state().screen(), AppScreen::loading);

    files.release();
    recordWriter.joinAll();
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 35);
    state().toggleHeart();
    state().prepareForTermination();
    recordWriter.joinAll();
    const SelectionLoadResult saved = SelectionStore(photos(), root / "support", root / "legacy-support").load();
    EXPECT_EQ(saved.params.at("a.jpg")[PhotoParameter::exposure], 35);
    EXPECT_TRUE(saved.hearts.contains("a.jpg"));
}

// While the folder's record is one this program must not write over, the state says why; the
// next folder starts without it.
TEST_F(AppStateSession, AProtectedRecordIsPublishedWhileItsFolderIsOpen) {
    std::ofstream(record()) << R"({"version": 7})";
    openPhotos();
    EXPECT_EQ(state().recordProtection(), SelectionProtection::newerVersion);
    state().toggleHeart();
    EXPECT_EQ(finishSaving(), RecordSaving::failed);
    EXPECT_EQ(state().recordProtection(), SelectionProtection::newerVersion);
    EXPECT_EQ(state().toastText(), "♡を付けました") << "the refusal has no message of its own";
    EXPECT_EQ(state().recordProtection(), SelectionProtection::newerVersion);

    std::filesystem::remove(record());
    state().open(photos());
    EXPECT_EQ(state().recordProtection(), std::nullopt);
    settle();
    EXPECT_EQ(state().recordProtection(), std::nullopt);
    state().toggleHeart();
    EXPECT_EQ(finishSaving(), RecordSaving::written);
}

TEST_F(AppStateSession, QuittingCancelsARunningExport) {
    openPhotos();
    auto token = std::make_shared<ExportCancellationToken>();
    state().setActiveExportCancellation(token);
    state().prepareForTermination();
    EXPECT_TRUE(token->isCancelled());
}

TEST_F(AppStateSession, ARecordThatCannotBeWrittenIsReportedInJapanese) {
    openPhotos();
    state().toggleHeart();
    // Folders where both record files belong: no file can be written in their place.
    const SelectionStore store(photos(), root / "support", root / "legacy-support");
    std::filesystem::create_directories(store.primaryURL());
    std::filesystem::create_directories(store.fallbackURL());
    state().saveNow();
    EXPECT_EQ(state().toastText(), "♡を付けました") << "said once the write has failed";
    settle();
    ASSERT_TRUE(state().toastText().has_value());
    EXPECT_EQ(state().toastText()->find("filesystem"), std::string::npos) << *state().toastText();
    EXPECT_NE(*state().toastText(), "");
    std::filesystem::remove(store.primaryURL());
    state().saveNow(); // the next save tries again
    settle();
    EXPECT_TRUE(std::filesystem::is_regular_file(record())) << state().toastText().value_or("-");
}

// Presets and settings live in the preferences file. A change it cannot take is said, and the file
// keeps what it held; the next write that works writes everything the program holds.
TEST_F(AppStateSession, PreferencesTheFileCannotTakeAreSaidAndTheFileIsKept) {
    const std::filesystem::path file = root / "config" / "preferences.json";
    DefaultsStore onDisk(file);
    AppSettings fileSettings(onDisk, std::uint64_t{1} << 35);
    AppState session(fileSettings, environment());
    session.open(photos());
    settle();
    const auto savePreset = [&](const std::string& name) {
        session.presentPresetSave();
        session.savePreset(name);
    };
    // The file written by the preferences' thread, and what that said shown.
    const auto written = [&] {
        onDisk.waitUntilWritten();
        queue.runPending();
    };
    const std::string tooLarge = ExportError::failureReason(std::make_error_code(std::errc::file_too_large));
    savePreset("晴れ");
    written();
    ASSERT_EQ(session.toastText(), "プリセット「晴れ」を保存しました");
    const std::string before = AtomicFile::read(file);
    {
        const FailingWrites full(64);
        // Said after the change's own message, which keeps its time.
        session.setClippingWarning(!session.clippingWarning());
        written();
        EXPECT_NE(session.toastText(), "設定を保存できませんでした（" + tooLarge + "）");
        // A newer message meanwhile goes first, and the failure still follows.
        session.showToasts({"最初の写真です"}, 1.0);
        queue.advance(1.0);
        EXPECT_EQ(session.toastText(), "設定を保存できませんでした（" + tooLarge + "）");
        queue.advance(AppState::kWriteFailureToast + 1);
        ASSERT_EQ(session.toastText(), std::nullopt);
        // Said again for every change that fails, not only the first of a run.
        session.setRightPanelWidth(300);
        written();
        EXPECT_EQ(session.toastText(), "設定を保存できませんでした（" + tooLarge + "）");
        // A preset's change says so every time, instead of its own message.
        savePreset("曇り");
        written();
        EXPECT_EQ(session.toastText(), "プリセットを保存できませんでした（" + tooLarge + "）");
        session.deletePreset(0);
        written();
        EXPECT_EQ(session.toastText(), "プリセットを保存できませんでした（" + tooLarge + "）");
        EXPECT_EQ(session.presets().size(), 1u);
        EXPECT_EQ(AtomicFile::read(file), before);
    }
    session.setRightPanelWidth(310);
    written();
    DefaultsStore reread(file);
    const auto presets = ParameterPresetStore(reread).load().presets;
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets.front().name, "曇り");
    EXPECT_EQ(reread.doubleValue(PreferenceKey::rightPanelWidth), 310);

    // A folder that cannot be made: a failure before the state starts is said when it starts.
    std::ofstream(root / "file");
    DefaultsStore nowhere(root / "file" / "preferences.json");
    nowhere.set(PreferenceKey::showGrid, true);
    nowhere.waitUntilWritten();
    AppSettings nowhereSettings(nowhere, std::uint64_t{1} << 35);
    const AppState started(nowhereSettings, environment());
    EXPECT_EQ(started.toastText(),
              "設定を保存できませんでした（" +
                  ExportError::failureReason(std::make_error_code(std::errc::not_a_directory)) + "）");
}

TEST_F(AppStateSession, RandomDevelopmentIsAStepOfItsOwnEachTime) {
    openPhotos();
    std::uint64_t next = 0;
    RandomGenerator generator([&next] { return next += 0x9e3779b97f4a7c15ull; });
    EXPECT_TRUE(state().randomizeCurrentParameters(generator));
    EXPECT_TRUE(state().randomizeCurrentParameters(generator));
    EXPECT_EQ(undoManager->undoCount(), 2u);
    undoManager->undo();
    undoManager->undo();
    EXPECT_EQ(state().library()->currentParameters(), PhotoParameters());
    state().setExportPresented(true);
    EXPECT_FALSE(state().randomizeCurrentParameters(generator));
    EXPECT_EQ(undoManager->undoCount(), 0u);
}

TEST_F(AppStateSession, EditsOfOneParameterWithinASecondAreOneUndoStep) {
    openPhotos();
    state().setCurrentParameter(PhotoParameter::exposure, 30);
    queue.advance(0.5);
    state().adjustCurrentParameter(PhotoParameter::exposure, 5);
    queue.advance(0.9);
    state().resetCurrentParameter(PhotoParameter::exposure);
    queue.advance(0.9);
    state().setCurrentParameter(PhotoParameter::exposure, 12);
    EXPECT_EQ(undoManager->undoCount(), 1u);

    queue.advance(1.1);
    state().setCurrentParameter(PhotoParameter::exposure, 40);
    EXPECT_EQ(undoManager->undoCount(), 2u);

    undoManager->undo();
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 12);
    undoManager->undo();
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 0);
    undoManager->redo();
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 12);
    undoManager->redo();
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 40);
}

TEST_F(AppStateSession, ReopeningTheFolderRestoresEverything) {
    openPhotos();
    state().move(1);
    state().toggleHeart();
    state().setCurrentParameter(PhotoParameter::contrast, -20);
    state().rotateCurrent(90);
    state().prepareForTermination();
    destroyState();

    openPhotos();
    EXPECT_EQ(currentPath(), "b.jpg");
    EXPECT_TRUE(state().library()->containsHeart("b.jpg", RetouchSlot::a));
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::contrast], -20);
    EXPECT_EQ(state().library()->currentRotation(), 90);
    EXPECT_FALSE(state().usesFallbackStore());
}

TEST_F(AppStateSession, UndoingAnEditOfAnotherPhotoFirstGoesBackToIt) {
    openPhotos();
    state().setCurrentParameter(PhotoParameter::saturation, 25);
    state().move(2);
    undoManager->undo();
    EXPECT_EQ(currentPath(), "a.jpg");
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::saturation], 0);
}

TEST_F(AppStateSession, AHundredStepsAreKept) {
    openPhotos();
    for (int i = 0; i < 105; ++i)
        state().toggleHeart();
    EXPECT_EQ(undoManager->undoCount(), 100u);
    while (undoManager->canUndo())
        undoManager->undo();
    // Five toggles could not be undone: an odd number leaves the heart set.
    EXPECT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
}

TEST_F(AppStateSession, OpeningAnotherFolderSavesTheFirstAndClearsTheUndoHistory) {
    openPhotos();
    state().toggleHeart();
    ASSERT_TRUE(undoManager->canUndo());
    const std::filesystem::path other = root / "other";
    std::filesystem::create_directories(other);
    std::filesystem::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), other / "x.jpg");
    state().open(other);
    EXPECT_FALSE(undoManager->canUndo());
    settle();
    EXPECT_TRUE(std::filesystem::exists(record()));
    EXPECT_EQ(currentPath(), "x.jpg");
    EXPECT_EQ(state().recentFolders().size(), 2u);
}

TEST_F(AppStateSession, CopyBIsMadeAndDeletedAsUndoableSteps) {
    openPhotos();
    state().createRetouchDuplicate();
    EXPECT_EQ(state().library()->currentSlot(), RetouchSlot::b);
    state().createRetouchDuplicate();
    EXPECT_EQ(state().toastText(), "複製は1つまでです");
    state().setCurrentParameter(PhotoParameter::exposure, 10);
    state().deleteRetouchDuplicate();
    EXPECT_EQ(state().library()->currentSlot(), RetouchSlot::a);
    EXPECT_EQ(state().library()->retouchStateB("a.jpg"), nullptr);
    state().deleteRetouchDuplicate();
    EXPECT_EQ(state().toastText(), "削除できるのは複製（B）だけです");

    undoManager->undo(); // the deletion
    ASSERT_NE(state().library()->retouchStateB("a.jpg"), nullptr);
    EXPECT_EQ(state().library()->currentSlot(), RetouchSlot::b);
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 10);
    undoManager->undo(); // the exposure of the copy
    undoManager->undo(); // the creation
    EXPECT_EQ(state().library()->retouchStateB("a.jpg"), nullptr);
    EXPECT_EQ(state().library()->currentSlot(), RetouchSlot::a);
}

TEST_F(AppStateSession, SwitchingToTheRawFileKeepsTheOldImageUntilTheDeadline) {
    openPhotos();
    state().toggleCurrentSource();
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::raw);
    EXPECT_TRUE(state().isSourceLoading());
    EXPECT_EQ(state().displayedSource(*state().library()->currentPhoto()), PhotoSource::jpeg);
    EXPECT_EQ(state().toastText(), "RAW（NEF）に切り替えました");
    queue.advance(1.99);
    EXPECT_TRUE(state().isSourceLoading());
    queue.advance(0.02);
    EXPECT_FALSE(state().isSourceLoading());
    EXPECT_EQ(state().displayedSource(*state().library()->currentPhoto()), PhotoSource::raw);

    // Undo restores the JPEG without a message of its own.
    state().showToasts({"x"}, 0.1);
    queue.advance(1);
    undoManager->undo();
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::jpeg);
    EXPECT_EQ(state().toastText(), std::nullopt);

    state().move(1);
    state().toggleCurrentSource();
    EXPECT_EQ(state().toastText(), "この写真には RAW がありません");
    EXPECT_FALSE(state().selectSource(PhotoSource::raw, "b.jpg", std::nullopt, true, true));
}

TEST_F(AppStateSession, MovingToAnotherPhotoEndsASwitchInProgress) {
    openPhotos();
    state().toggleCurrentSource();
    ASSERT_TRUE(state().isSourceLoading());
    state().move(1);
    EXPECT_FALSE(state().isSourceLoading());
}

} // namespace
} // namespace sorvin::test
