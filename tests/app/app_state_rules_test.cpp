// The rules every command shares: which screen, which modal and which focus let it act; the
// preferences read at start; the failures of opening a folder.

#include "app_state_fixture.hpp"
#include "persistence/preference_key.hpp"
#include "platform/jpeg_encoder.hpp"
#include "support/screen_picture.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <fstream>
#include <png.h>

namespace sorvin::test {
namespace {

class AppStateRules : public AppStateTest {
protected:
    AppStateRules() {
        defaults.set(PreferenceKey::sortKey, "name");
        addStandardPhotos();
    }
};

TEST_F(AppStateRules, StartsFromThePreferencesWithPanelSizesClamped) {
    struct Row {
        double storedWidth, storedHeight;
        double width, height;
    };
    for (const Row& row : {Row{100, 500, 220, 460}, Row{600, 100, 520, 160}, Row{300, 200, 300, 200}}) {
        DefaultsStore store;
        store.set(PreferenceKey::rightPanelWidth, row.storedWidth);
        store.set(PreferenceKey::bottomPanelHeight, row.storedHeight);
        AppSettings stored(store, std::uint64_t{1} << 35);
        AppState started(stored, environment());
        EXPECT_EQ(started.rightPanelWidth(), row.width) << row.storedWidth;
        EXPECT_EQ(started.bottomPanelHeight(), row.height) << row.storedHeight;
    }
}

TEST_F(AppStateRules, ReadsAtMostTenRecentFoldersWithoutRewritingThem) {
    DefaultsValue::List fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen.emplace_back("/photos/" + std::to_string(i));
    defaults.set(PreferenceKey::recentFolders, fifteen);
    EXPECT_EQ(state().recentFolders().size(), 10u);
    EXPECT_EQ(state().recentFolders().front(), "/photos/0");
    EXPECT_EQ(defaults.stringArray(PreferenceKey::recentFolders)->size(), 15u);
}

TEST_F(AppStateRules, TheStoredPageIsCheckedAndWrittenBackAtStart) {
    const ParameterPage shape = ParameterPage::letter(ParameterLetterPage::shape);
    const ParameterPage raw = ParameterPage::letter(ParameterLetterPage::rawDevelopment);
    const ParameterPage greenCurve = ParameterPage::curve(PointCurveChannel::green);
    const ParameterPage basic = ParameterPage::letter(ParameterLetterPage::basic);
    // Values that name no page start on the first page and are replaced by its number.
    const std::pair<DefaultsValue, ParameterPage> rows[] = {{shape.storedValue(), basic},
                                                            {raw.storedValue(), raw},
                                                            {greenCurve.storedValue(), greenCurve},
                                                            {15, basic},
                                                            {-1, basic},
                                                            {"7", basic},
                                                            {3.0, basic}};
    for (const auto& [stored, expected] : rows) {
        DefaultsStore store;
        store.set(PreferenceKey::parameterTab, stored);
        AppSettings storedSettings(store, std::uint64_t{1} << 35);
        AppState started(storedSettings, environment());
        EXPECT_EQ(started.parameterPage(), expected);
        EXPECT_EQ(store.object(PreferenceKey::parameterTab), DefaultsValue(expected.storedValue()));
    }
}

TEST_F(AppStateRules, PhotoCommandsGiveUpWhileAModalIsUp) {
    openPhotos();
    state().setExportPresented(true);
    state().toggleHeart();
    state().setCurrentParameter(PhotoParameter::exposure, 20);
    state().rotateCurrent(90);
    state().createRetouchDuplicate();
    state().toggleCurrentSource();
    EXPECT_FALSE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
    EXPECT_EQ(state().library()->currentParameters(), PhotoParameters());
    EXPECT_EQ(state().library()->currentRotation(), 0);
    EXPECT_EQ(state().library()->retouchStateB("a.jpg"), nullptr);
    EXPECT_EQ(state().library()->currentSource(), PhotoSource::jpeg);
    EXPECT_FALSE(undoManager->canUndo());
    EXPECT_EQ(state().toastText(), std::nullopt);
}

TEST_F(AppStateRules, AFocusedNumberFieldStillCommitsValuesButBlocksOtherCommands) {
    openPhotos();
    state().setAdjustmentInputFocused(true);
    state().setCurrentParameter(PhotoParameter::exposure, 20);
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::exposure], 20);
    state().performParameterClipboardAction(ParameterClipboardAction::copy);
    EXPECT_EQ(state().copiedParameters(), std::nullopt);
    state().createRetouchDuplicate();
    EXPECT_EQ(state().library()->retouchStateB("a.jpg"), nullptr);
    state().selectCurveChannel(PointCurveChannel::red);
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
    state().presentPresetSave();
    EXPECT_FALSE(state().isPresetSavePresented());
}

TEST_F(AppStateRules, OnTheHomeScreenPhotoCommandsDoNothing) {
    state().toggleHeart();
    state().rotateCurrent(90);
    EXPECT_FALSE(state().move(1));
    state().setLowMemoryMode(true); // works on the home screen, silently
    EXPECT_TRUE(state().lowMemoryMode());
    EXPECT_TRUE(defaults.boolValue(PreferenceKey::lowMemoryMode));
    EXPECT_EQ(state().toastText(), std::nullopt);
    state().imageAvailabilityChanged();
    EXPECT_EQ(state().screen(), AppScreen::home);
}

TEST_F(AppStateRules, ParameterCopyAndPaste) {
    openPhotos();
    state().performParameterClipboardAction(ParameterClipboardAction::paste);
    EXPECT_EQ(state().toastText(), "コピーした調整設定がありません");
    state().setCurrentParameter(PhotoParameter::vibrance, 30);
    state().performParameterClipboardAction(ParameterClipboardAction::copy);
    EXPECT_EQ(state().toastText(), "調整設定をコピーしました");
    state().move(1);
    const std::size_t steps = undoManager->undoCount();
    state().performParameterClipboardAction(ParameterClipboardAction::paste);
    EXPECT_EQ(state().library()->currentParameters()[PhotoParameter::vibrance], 30);
    EXPECT_EQ(undoManager->undoCount(), steps + 1);
    // Pasting the same values again changes nothing, says so anyway and adds no step.
    queue.advance(2);
    state().performParameterClipboardAction(ParameterClipboardAction::paste);
    EXPECT_EQ(state().toastText(), "調整設定を貼り付けました");
    EXPECT_EQ(undoManager->undoCount(), steps + 1);
}

TEST_F(AppStateRules, EditsOfDifferentThingsAreSeparateUndoSteps) {
    openPhotos();
    state().setCurrentParameter(PhotoParameter::exposure, 10);
    state().setCurrentParameter(PhotoParameter::contrast, 10);
    EXPECT_EQ(undoManager->undoCount(), 2u);
    state().rotateCurrent(0.5);
    state().rotateCurrent(0.5);
    EXPECT_EQ(undoManager->undoCount(), 3u);
    state().resizeCurrentCrop(-1);
    state().moveCurrentCrop(CropDirection::right);
    EXPECT_EQ(undoManager->undoCount(), 4u);
    undoManager->undo();
    EXPECT_TRUE(state().library()->currentCrop().isDefault());
    undoManager->undo();
    EXPECT_EQ(state().library()->currentRotation(), 0);
    // A clock that went backwards ends the run.
    EXPECT_EQ(undoManager->undoCount(), 2u);
}

TEST_F(AppStateRules, MasksMoveTheEditTargetAndThePageFollows) {
    openPhotos();
    state().selectParameterTab(static_cast<int>(ParameterLetterPage::shape));
    state().selectParameterTab(static_cast<int>(ParameterLetterPage::rawDevelopment));
    state().selectParameterTab(10);
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
    state().selectParameterTab(static_cast<int>(ParameterLetterPage::geometry));
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::geometry));

    state().addMask(MaskKind::circular()); // the sheet is not up
    EXPECT_TRUE(state().library()->currentParameters().masks.empty());
    state().presentMaskAddition();
    ASSERT_TRUE(state().isMaskAddPresented());
    state().addMask(MaskKind::circular());
    EXPECT_FALSE(state().isMaskAddPresented());
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
    state().presentMaskAddition();
    state().addMask(MaskKind::linear());
    EXPECT_EQ(undoManager->undoCount(), 2u) << "each addition is a step of its own";

    state().selectParameterTab(static_cast<int>(ParameterLetterPage::shape));
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::shape));
    // A whole drag of the shape is one step.
    for (int i = 0; i < 30; ++i) {
        state().setCurrentMaskShapeValues({{PhotoParameter::linear_mask_position, 20 + i}});
        queue.advance(0.1);
    }
    EXPECT_EQ(undoManager->undoCount(), 3u);

    undoManager->undo(); // the drag
    undoManager->undo(); // the second mask, the edit target: its index no longer exists
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::global());
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));

    state().selectEditTarget(ParameterEditTarget::mask(0));
    EXPECT_TRUE(state().deleteCurrentMask(0));
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::global());
    undoManager->undo();
    EXPECT_EQ(state().library()->currentParameters().masks.size(), 1u);
    EXPECT_EQ(state().editTarget(), ParameterEditTarget::global());
}

// A paste or a preset with fewer masks than the photo had takes away the mask being edited, if it
// was one of those beyond: the whole photo becomes the target and the shape page gives way to the
// first, so that the next edit reaches the photo. A mask that is still there stays the target.
TEST_F(AppStateRules, APasteOrPresetThatTakesAwayTheEditedMaskLeavesTheWholePhotoTheTarget) {
    openPhotos();
    const ParameterPage shape = ParameterPage::letter(ParameterLetterPage::shape);
    const ParameterPage basic = ParameterPage::letter(ParameterLetterPage::basic);
    const auto keepMasks = [&](int count) {
        while (static_cast<int>(state().library()->currentParameters().masks.size()) > count)
            ASSERT_TRUE(state().deleteCurrentMask(0));
        while (static_cast<int>(state().library()->currentParameters().masks.size()) < count) {
            state().presentMaskAddition();
            state().addMask(MaskKind::circular());
        }
    };
    struct Case {
        const char* what;
        int masks;  // the photo's before the paste or preset
        int target; // the mask edited
        int given;  // the masks of the set pasted or applied
    };
    const Case cases[] = {{"the last mask", 3, 2, 2},
                          {"a middle mask", 3, 1, 1},
                          {"the only mask", 1, 0, 0},
                          {"a mask that stays", 3, 1, 2}};
    for (const bool preset : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(preset ? "preset, " : "paste, ") + c.what);
            // The set given, from the first photo.
            state().jump(0);
            keepMasks(c.given);
            state().setCurrentParameter(PhotoParameter::vibrance, 30 + c.given);
            const std::string name = "masks " + std::to_string(c.given);
            if (preset) {
                state().presentPresetSave();
                state().savePreset(name);
            } else {
                state().performParameterClipboardAction(ParameterClipboardAction::copy);
            }
            // The second photo, its mask edited on the shape page.
            state().jump(1);
            keepMasks(c.masks);
            state().selectEditTarget(ParameterEditTarget::mask(c.target));
            state().selectParameterTab(static_cast<int>(ParameterLetterPage::shape));
            ASSERT_EQ(state().parameterPage(), shape);
            if (preset) {
                const auto& presets = state().presets();
                const auto found = std::find_if(presets.begin(), presets.end(),
                                                [&](const ParameterPreset& p) { return p.name == name; });
                ASSERT_NE(found, presets.end());
                ASSERT_TRUE(state().applyPreset(static_cast<int>(found - presets.begin())));
            } else {
                state().performParameterClipboardAction(ParameterClipboardAction::paste);
            }
            ASSERT_EQ(state().library()->currentParameters().masks.size(), static_cast<std::size_t>(c.given));
            const bool stays = c.target < c.given;
            EXPECT_EQ(state().editTarget(), stays ? ParameterEditTarget::mask(c.target) : ParameterEditTarget::global());
            EXPECT_EQ(state().parameterPage(), stays ? shape : basic);
            state().adjustCurrentParameter(PhotoParameter::exposure, 5);
            EXPECT_EQ(state().library()->currentParameters().value(PhotoParameter::exposure, state().editTarget()), 5)
                << "the edit reached nothing";
        }
    }
}

TEST_F(AppStateRules, AFolderWithFourMasksOpensNoMaskSheet) {
    openPhotos();
    for (int i = 0; i < 4; ++i) {
        state().presentMaskAddition();
        state().addMask(MaskKind::circular());
    }
    state().presentMaskAddition();
    EXPECT_FALSE(state().isMaskAddPresented());
}

TEST_F(AppStateRules, FailedScansReturnHomeWithTheirMessages) {
    state().open(root / "missing");
    settle();
    EXPECT_EQ(state().screen(), AppScreen::home);
    EXPECT_EQ(state().toastText(), "フォルダにアクセスできなくなりました");

    std::filesystem::create_directories(root / "empty");
    state().open(root / "empty");
    settle();
    EXPECT_EQ(state().screen(), AppScreen::home);
    EXPECT_EQ(state().toastText(), "このフォルダに JPEG がありません");
    EXPECT_TRUE(state().recentFolders().empty());
}

TEST_F(AppStateRules, CancellingTheScanReturnsHomeSilently) {
    state().open(photos());
    state().cancelLoading();
    EXPECT_EQ(state().screen(), AppScreen::home);
    settle();
    EXPECT_EQ(state().screen(), AppScreen::home);
    EXPECT_EQ(state().library(), nullptr);
    EXPECT_EQ(state().toastText(), std::nullopt);
}

TEST_F(AppStateRules, OnlyTheNewestOfTwoScansIsShown) {
    const std::filesystem::path other = root / "other";
    std::filesystem::create_directories(other);
    std::filesystem::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), other / "x.jpg");
    state().open(photos());
    state().open(other);
    ASSERT_EQ(executor.waiting(), 2u);
    // The second scan and the reading of its folder's record, before the first scan ends.
    while (executor.waiting() > 1) {
        executor.runAt(1);
        queue.runPending();
    }
    EXPECT_EQ(currentPath(), "x.jpg");
    settle(); // the first scan ends too; its result is dropped
    EXPECT_EQ(currentPath(), "x.jpg");
    EXPECT_EQ(state().recentFolders().size(), 1u);
}

// A good photo under a name that is not UTF-8 cannot be kept in the record: it counts as unreadable.
TEST_F(AppStateRules, UnreadableFilesOutrankADamagedRecordInTheOneMessage) {
    addPhoto("corrupt/corrupt_header.jpg", "broken.jpg");
    addPhoto("jpeg/nikon_d40_orient6.jpg", "name\xFF.jpg");
    {
        std::ofstream damaged(photos() / "sorvin.json");
        damaged << "{ not json";
    }
    openPhotos();
    EXPECT_EQ(state().toastText(), "2件のファイルを読み込めませんでした");
    queue.advance(2.99);
    EXPECT_TRUE(state().toastIsVisible());
    queue.advance(0.02);
    EXPECT_FALSE(state().toastIsVisible()) << state().toastText().value_or("");
}

TEST_F(AppStateRules, ADamagedRecordStartsFreshWithAMessage) {
    {
        std::ofstream damaged(photos() / "sorvin.json");
        damaged << "{ not json";
    }
    openPhotos();
    EXPECT_EQ(state().toastText(), "前回の記録が壊れていたため、新しく始めます");
}

TEST_F(AppStateRules, RecentFoldersPutTheNewestFirstWithoutDuplicates) {
    std::vector<std::filesystem::path> folders;
    for (int i = 0; i < 11; ++i) {
        folders.push_back(root / fmt::format("f{}", i));
        std::filesystem::create_directories(folders.back());
        std::filesystem::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), folders.back() / "x.jpg");
    }
    for (int i : {0, 1, 0}) {
        state().open(folders[i]);
        settle();
    }
    EXPECT_EQ(state().recentFolders(), (std::vector<std::string>{folders[0].string(), folders[1].string()}));
    for (int i = 1; i < 11; ++i) {
        state().open(folders[i]);
        settle();
    }
    EXPECT_EQ(state().recentFolders().size(), 10u);
    EXPECT_EQ(state().recentFolders().front(), folders[10].string());
    EXPECT_EQ(std::count(state().recentFolders().begin(), state().recentFolders().end(), folders[0].string()),
              0);
    EXPECT_EQ(defaults.stringArray(PreferenceKey::recentFolders), state().recentFolders());

    std::filesystem::remove_all(folders[5]);
    state().openRecentFolder(folders[5].string());
    settle();
    EXPECT_EQ(state().toastText(), "フォルダが見つかりません");
    EXPECT_EQ(state().recentFolders().size(), 9u);
}

TEST_F(AppStateRules, TheFolderPanelStartsAtTheLastFolderAndCountsAsAModal) {
    defaults.set(PreferenceKey::lastFolder, (root / "gone").string());
    state().chooseSourceFolder();
    settle();
    ASSERT_EQ(folderPanel.startFolders.size(), 1u);
    EXPECT_NE(folderPanel.startFolders[0], root / "gone") << "a folder that is gone is not offered";
    EXPECT_FALSE(state().isFolderPanelPresented());
    EXPECT_EQ(state().screen(), AppScreen::home);

    folderPanel.answer = photos();
    bool modalWhileShown = false;
    folderPanel.whileShown = [&] { modalWhileShown = state().isModalExportPresented(); };
    state().chooseSourceFolder();
    EXPECT_TRUE(state().isModalExportPresented()) << "while the last folder is checked";
    settle();
    EXPECT_TRUE(modalWhileShown);
    EXPECT_FALSE(state().isFolderPanelPresented());
    EXPECT_EQ(state().screen(), AppScreen::select);
    state().chooseSourceFolder();
    settle();
    EXPECT_EQ(folderPanel.startFolders[2], FolderScanner::standardized(photos()));
}

TEST_F(AppStateRules, MessagesReplaceEachOtherAndSequencesRunThrough) {
    state().showToasts({"one", "two"}, 1.5);
    queue.advance(1.49);
    EXPECT_EQ(state().toastText(), "one");
    queue.advance(0.02);
    EXPECT_EQ(state().toastText(), "two");
    queue.advance(1.0);
    state().showToasts({"three"}, 1.0);
    EXPECT_EQ(state().toastText(), "three");
    queue.advance(0.99);
    EXPECT_TRUE(state().toastIsVisible()) << "the older sequence must not fade the newer message";
    queue.advance(0.02);
    EXPECT_FALSE(state().toastIsVisible());
    queue.advance(0.3);
    EXPECT_EQ(state().toastText(), std::nullopt);
    state().showToasts({}, 1.0);
    EXPECT_EQ(state().toastText(), std::nullopt);
}

TEST_F(AppStateRules, TheCheatSheetShowsAfterCommandIsHeldForAFifthOfASecond) {
    const ModifierKeys command(ModifierKey::command);
    state().handleModifierFlags(command);
    queue.advance(0.3);
    EXPECT_FALSE(state().isCommandCheatSheetVisible()) << "not on the home screen";

    openPhotos();
    state().handleModifierFlags(command);
    queue.advance(0.1);
    state().handleModifierFlags({});
    queue.advance(0.3);
    EXPECT_FALSE(state().isCommandCheatSheetVisible());

    state().handleModifierFlags(command);
    queue.advance(0.1);
    state().handleModifierFlags(ModifierKey::command | ModifierKey::shift);
    queue.advance(0.19);
    EXPECT_FALSE(state().isCommandCheatSheetVisible());
    queue.advance(0.02);
    EXPECT_TRUE(state().isCommandCheatSheetVisible());

    state().presentExport();
    EXPECT_TRUE(state().isExportPresented());
    EXPECT_FALSE(state().isCommandCheatSheetVisible());
}

TEST_F(AppStateRules, ControlAloneShowsTheOriginalAndAModalEndsIt) {
    openPhotos();
    state().handleModifierFlags(ModifierKey::control);
    EXPECT_TRUE(state().showingOriginal());
    state().setCurrentParameter(PhotoParameter::exposure, 40);
    EXPECT_EQ(state().displayedParameters(*state().library()->currentPhoto())[PhotoParameter::exposure], 0);
    state().handleModifierFlags(ModifierKey::control | ModifierKey::option);
    EXPECT_FALSE(state().showingOriginal());
    state().handleModifierFlags(ModifierKey::control);
    state().setAdjustmentInputFocused(true);
    EXPECT_FALSE(state().showingOriginal());
    state().setAdjustmentInputFocused(false);
    state().handleModifierFlags(ModifierKey::control);
    state().presentExport();
    EXPECT_FALSE(state().showingOriginal());
}

TEST_F(AppStateRules, ZoomIsClampedAndKeepsThePointUnderTheAnchor) {
    openPhotos();
    state().setZoomScale(2, Point{750, 400}, Size{1000, 800}, Size{1000, 667});
    EXPECT_EQ(state().library()->zoomState().scale, 2);
    EXPECT_EQ(state().library()->zoomState().offset, (Size{-250, 0}));
    state().setZoomScale(20, Point{500, 400}, Size{1000, 800}, Size{1000, 667});
    EXPECT_EQ(state().library()->zoomState().scale, 8);
    state().setZoomScale(0.5, Point{500, 400}, Size{1000, 800}, Size{1000, 667});
    EXPECT_EQ(state().library()->zoomState(), ZoomState{});
}

TEST_F(AppStateRules, SortingAnnouncesItselfOnlyWhenTheOrderChanges) {
    openPhotos();
    state().setSort(PhotoSortKey::name, true);
    EXPECT_EQ(state().toastText(), std::nullopt);
    state().setSort(PhotoSortKey::name, false);
    EXPECT_EQ(state().toastText(), "ファイル名 降順");
    EXPECT_FALSE(state().sortAscending());
    EXPECT_EQ(defaults.string(PreferenceKey::sortKey), "name");
    EXPECT_FALSE(defaults.boolValue(PreferenceKey::sortAscending));
    EXPECT_EQ(currentPath(), "a.jpg");
}

TEST_F(AppStateRules, TheFilterNeedsAHeartAndFollowsTheCursor) {
    openPhotos();
    state().toggleFilter();
    EXPECT_EQ(state().toastText(), "ハートを付けた写真がありません");
    state().move(1);
    state().toggleHeart();
    state().jumpToStart();
    state().toggleFilter();
    EXPECT_TRUE(state().library()->isFiltered());
    EXPECT_EQ(currentPath(), "b.jpg");
    state().disableFilter();
    EXPECT_FALSE(state().library()->isFiltered());
    EXPECT_EQ(currentPath(), "b.jpg");
}

TEST_F(AppStateRules, TheEXIFCopyTakesOnlyTheValuesOfTheFileShown) {
    openPhotos();
    state().copyExifText();
    ASSERT_EQ(pasteboard.items.size(), 1u);
    EXPECT_EQ(state().toastText(), "EXIFをコピーしました");
    EXPECT_TRUE(pasteboard.items[0].data().contains(PasteboardType::plainText));

    pasteboard.items.clear();
    state().move(1); // its EXIF is not read yet
    state().copyExifText();
    EXPECT_TRUE(pasteboard.items.empty());

    for (ExifCopyField field : ExifCopyFieldSet(state().exifCopySelection()))
        state().toggleExifCopyField(field);
    EXPECT_TRUE(settings.exifCopySelection().empty());
    queue.advance(1);
    settle();
    state().copyExifText();
    EXPECT_TRUE(pasteboard.items.empty());
}

TEST_F(AppStateRules, TheImageCopyRendersOnceAtATimeAndReportsTheOutcome) {
    openPhotos();
    int renders = 0;
    std::optional<int> longEdge;
    state().setRenderer([&](const Photo& photo, double, const ManualCrop&, const PhotoParameters& parameters,
                            PhotoSource, std::optional<int> maximumLongEdge) {
        ++renders;
        longEdge = maximumLongEdge;
        EXPECT_EQ(photo.relativePath, "a.jpg");
        EXPECT_EQ(parameters[PhotoParameter::exposure], 15);
        return ExportRendering{RenderedEditedImage{makeImage(PixelBuffer(4, 3)), photo.url}, {}};
    });
    state().setCurrentParameter(PhotoParameter::exposure, 15);
    state().copyCurrentImage();
    EXPECT_TRUE(state().isImageCopyInProgress());
    state().setCurrentParameter(PhotoParameter::exposure, 50); // the snapshot was taken already
    state().copyCurrentImage();
    settle();
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(longEdge, 2048);
    EXPECT_FALSE(state().isImageCopyInProgress());
    EXPECT_EQ(state().toastText(), "画像をコピーしました");
    ASSERT_EQ(pasteboard.items.size(), 1u);
    EXPECT_TRUE(pasteboard.items[0].data().contains(PasteboardType::png));
    EXPECT_TRUE(pasteboard.items[0].data().contains(PasteboardType::tiff));

    state().setRenderer([](const Photo&, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                           std::optional<int>) { return ExportRendering{}; });
    state().copyCurrentImage();
    settle();
    EXPECT_EQ(state().toastText(), "画像をコピーできませんでした");
}

// The image on the clipboard, from its PNG.
SharedImage clipboardImage(const PasteboardItem& item) {
    const std::vector<std::uint8_t>& png = item.data().at(PasteboardType::png);
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&description, png.data(), png.size())) return nullptr;
    description.format = PNG_FORMAT_RGBA;
    PixelBuffer pixels(static_cast<int>(description.width), static_cast<int>(description.height));
    if (!png_image_finish_read(&description, nullptr, pixels.data(),
                               static_cast<png_int_32>(pixels.bytesPerRow()), nullptr))
        return nullptr;
    return makeImage(std::move(pixels));
}

class ImageCopyTest : public AppStateTest {
protected:
    // The current photo framed and developed so: what 画像をコピー put on the clipboard, and what
    // the screen shows of the decoded photo.
    std::pair<SharedImage, SharedImage> copiedAndShown(const SharedImage& decoded, double rotation,
                                                       const ManualCrop& crop,
                                                       const PhotoParameters& parameters) {
        PhotoLibrary& library = *state().library();
        library.setCurrentRotation(rotation);
        library.setCrop(crop, library.currentPhoto()->relativePath, RetouchSlot::a);
        library.setCurrentParameters(parameters);
        pasteboard.items.clear();
        state().copyCurrentImage();
        settle();
        if (pasteboard.items.size() != 1) return {};
        return {clipboardImage(pasteboard.items[0]),
                screenPicture(decoded, parameters, library.currentRotation(), library.currentCrop())};
    }
};

// 画像をコピー puts on the clipboard what the screen shows: a strong mask on a flat grey photo lies
// where the screen draws it, whatever the photo's turn and crop.
TEST_F(ImageCopyTest, TheCopiedImageShowsTheMasksWhereTheScreenDoes) {
    const SharedImage grey = flatGrey(600, 400);
    {
        std::ofstream out(photos() / "grey.jpg", std::ios::binary);
        out << *JpegEncoder::encode(*grey, 95, {}, {});
    }
    openPhotos();
    const SharedImage decoded =
        Exporter::fileDecoder()(*state().library()->currentPhoto(), PhotoSource::jpeg, 0);
    ASSERT_TRUE(decoded);
    for (const Framing& framing : framings()) {
        for (const auto& [shape, parameters] :
             {std::pair{"circle", strongCircle()}, {"band", narrowBand()}}) {
            SCOPED_TRACE(std::string(framing.name) + ", " + shape);
            const auto [copied, screen] = copiedAndShown(decoded, framing.rotation, framing.crop, parameters);
            ASSERT_TRUE(copied && screen);
            ASSERT_EQ(copied->width(), screen->width());
            ASSERT_EQ(copied->height(), screen->height());
            EXPECT_LE(outlineDistance(*copied, *screen, halfwayLevel(*screen)), 2.0);
        }
    }
}

// Under quarter turns 画像をコピー puts the screen's very pixels on the clipboard, whatever stage
// reads the pixels around a pixel.
TEST_F(ImageCopyTest, AQuarterTurnedCopiedImageHoldsTheScreensPixels) {
    addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", "iceland.jpg");
    openPhotos();
    const SharedImage decoded =
        Exporter::fileDecoder()(*state().library()->currentPhoto(), PhotoSource::jpeg, 0);
    ASSERT_TRUE(decoded);
    for (const auto& [stage, parameters] : detailStages())
        for (const double rotation : {90.0, -90.0}) {
            SCOPED_TRACE(stage + " turned " + std::to_string(rotation));
            const auto [copied, screen] = copiedAndShown(decoded, rotation, {}, parameters);
            ASSERT_TRUE(copied && screen);
            EXPECT_EQ(differingPixels(*copied, *screen), 0);
        }
}

} // namespace
} // namespace sorvin::test
