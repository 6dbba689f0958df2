#pragma once

#include "app/app_screen.hpp"
#include "app/app_undo_change.hpp"
#include "app/heart_feedback_presentation.hpp"
#include "app/navigation_side_effect_debouncer.hpp"
#include "app/record_saving.hpp"
#include "app/record_wait.hpp"
#include "app/scan_cancellation_token.hpp"
#include "app/single_export_panel.hpp"
#include "app/single_photo_export.hpp"
#include "app/undo_manager.hpp"
#include "engine/straightening_analysis.hpp"
#include "export/export_cancellation_token.hpp"
#include "export/exporter_rendering.hpp"
#include "library/folder_scanner.hpp"
#include "library/parameter_clipboard_command.hpp"
#include "library/photo_library.hpp"
#include "loading/exif_loader.hpp"
#include "loading/histogram_loader.hpp"
#include "loading/image_loader.hpp"
#include "model/crop_aspect.hpp"
#include "model/exif_copy_field.hpp"
#include "model/manual_crop.hpp"
#include "model/mask_kind.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_sort_key.hpp"
#include "model/raw_development_support.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/parameter_preset_manager.hpp"
#include "persistence/selection_saver.hpp"
#include "persistence/selection_store.hpp"
#include "persistence/selection_store_disposal.hpp"
#include "platform/alert_presenter.hpp"
#include "platform/background_executor.hpp"
#include "platform/folder_opener.hpp"
#include "platform/folder_panel.hpp"
#include "platform/folder_probe.hpp"
#include "platform/geometry.hpp"
#include "platform/image.hpp"
#include "platform/main_queue.hpp"
#include "platform/pasteboard.hpp"
#include "platform/random_generator.hpp"
#include "platform/signal.hpp"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sorvin {

// The published properties of the application state, as the change signal names them.
enum class AppStateProperty {
    screen,
    includeSubfolders,
    loadingProgress, // loadingProcessed and loadingTotal
    recordWait,
    library,
    sourceFolder,
    usesFallbackStore,
    recordProtection,
    recentFolders,
    isExportPresented,
    isPresetSavePresented,
    isPresetOrganizerPresented,
    isSingleExportPanelPresented,
    isFolderPanelPresented,
    isSingleExportInProgress,
    isImageCopyInProgress,
    showGrid,
    clippingWarning,
    sort, // sortKey and sortAscending
    exifCopySelection,
    cropInsideOnly,
    parameterPage,
    editTarget,
    isMaskAddPresented,
    lowMemoryMode,
    toast,         // toastText and toastIsVisible
    heartFeedback, // heartFeedback and heartFeedbackIsVisible
    copiedParameters,
    presets,
    adjustmentInputIsFocused,
    isSourceLoading,
    loupeOn,
    showingOriginal,
    isCommandCheatSheetVisible,
    rightPanelWidth,
    bottomPanelHeight,
    rightPanelCollapsed,
    bottomPanelCollapsed,
};

// The modifier keys of a key event, as bits.
enum class ModifierKey : unsigned { shift = 1, command = 2, option = 4, control = 8 };

class ModifierKeys {
public:
    constexpr ModifierKeys() = default;
    constexpr explicit ModifierKeys(unsigned rawValue) : bits_(rawValue & 15u) {}
    constexpr ModifierKeys(ModifierKey key) : bits_(static_cast<unsigned>(key)) {}
    constexpr ModifierKeys operator|(ModifierKeys other) const { return ModifierKeys(bits_ | other.bits_); }
    constexpr bool contains(ModifierKey key) const { return bits_ & static_cast<unsigned>(key); }
    constexpr unsigned rawValue() const { return bits_; }
    friend constexpr bool operator==(ModifierKeys, ModifierKeys) = default;

private:
    unsigned bits_ = 0;
};

constexpr ModifierKeys operator|(ModifierKey a, ModifierKey b) {
    return ModifierKeys(a) | b;
}

// What the application state needs of the world around it, so that tests run it over a manual
// main queue, a manual executor, temporary folders and an in-memory clipboard.
struct AppStateEnvironment {
    MainQueue& mainQueue;
    BackgroundExecutor& executor;
    Pasteboard& pasteboard;
    FolderPanel* folderPanel = nullptr;
    // The save panel of a one-photo export and the alerts, both on the main window; without them
    // there is no main window to export from.
    SingleExportPanel* singleExportPanel = nullptr;
    AlertPresenter* alerts = nullptr;
    // Shows an export's destination; without it no folder can be shown.
    FolderOpener* folderOpener = nullptr;
    // Where the scan cache lives; FolderScanner::defaultCachesRoot() when empty.
    std::filesystem::path cachesRoot{};
    // Where folder records go when a folder cannot be written; the store's defaults when empty.
    std::optional<std::filesystem::path> applicationSupportDirectory{};
    std::optional<std::filesystem::path> legacyApplicationSupportDirectory{};
    // Seconds for undo coalescing; the main queue's clock when empty.
    std::function<double()> undoClock{};
    // Reads photo values during a scan; FolderScanner::metadata when empty.
    FolderScanner::MetadataReader metadataReader{};
    // Reads EXIF values and computes histograms; the loaders' defaults when empty.
    ExifLoader::Reader exifReader{};
    HistogramLoader::Processor histogramProcessor{};
    // Develops RAW files at display size; RawDeveloper when empty.
    RawDevelopmentCache::Development rawDevelopment{};
    // Where folder records are read and written, and the worker that writes them; the real file
    // system and the executor when none.
    FileManager* recordFiles = nullptr;
    BackgroundExecutor* recordExecutor = nullptr;
    // Where whether a folder is there is asked: work that a stalled disk may hold for ever, which
    // nobody should wait for; the executor when none.
    BackgroundExecutor* folderProbeExecutor = nullptr;
};

// The one application controller: the state every view reads and the operations every command
// calls. Lives on the main thread; background work reports back through the main queue. The class
// is split over files by concern (app_state_*.cpp).
class AppState {
public:
    // Durations of the state's own timers, in seconds.
    static constexpr double kSaveDelay = 0.5;
    // Steady edits still reach the disk this long after the first unsaved one.
    static constexpr double kSaveDeadline = 2.0;
    // A timed save keeps out of the frame after a change of photo (see postSave).
    static constexpr double kSaveAfterPhotoChange = 1.0 / 60;
    // How long quitting waits for the record to reach the disk before it asks all the same.
    static constexpr double kFinishSavingWait = 10.0;
    // How often a folder whose record another copy of the program holds is tried again.
    static constexpr double kRecordLockRetry = 1.0;
    static constexpr double kToastFade = 0.3;
    // How long a message that something could not be written stays.
    static constexpr double kWriteFailureToast = 3.0;
    static constexpr double kHeartShown = 0.35;
    static constexpr double kHeartFade = 0.15;
    static constexpr double kOriginalPreviewDelay = 0.3;
    static constexpr double kSourceTransitionDeadline = 2.0;
    static constexpr double kCheatSheetDelay = 0.2;
    static constexpr double kUndoCoalescingWindow = 1.0;
    static constexpr int kUndoLevels = 100;
    static constexpr std::size_t kRecentFolderLimit = 10;
    // How long a folder's disk may take to say whether the folder is there: the folder panel then
    // starts at home instead of the last folder, a recent folder is said not to answer.
    static constexpr double kFolderCheckWait = 0.5;
    static constexpr double kRecentFolderCheckWait = 3.0;
    static constexpr int kImageCopyLongEdge = 2048;

    AppState(AppSettings& settings, AppStateEnvironment environment);
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    ~AppState();

    // Emitted after every change of a published property.
    Signal<AppStateProperty> changed;

    // ---- Published state ----
    AppScreen screen() const { return screen_; }
    bool includeSubfolders() const { return includeSubfolders_; }
    void setIncludeSubfolders(bool on);
    int loadingProcessed() const { return loadingProcessed_; }
    int loadingTotal() const { return loadingTotal_; }
    // What the loading screen waits for before it reads the folder's record, while it does.
    const std::optional<RecordWait>& recordWait() const { return recordWait_; }
    PhotoLibrary* library() const { return library_.get(); }
    const std::optional<std::filesystem::path>& sourceFolder() const { return sourceFolder_; }
    bool usesFallbackStore() const { return usesFallbackStore_; }
    // Why nothing of the open folder is saved: its record is one this program must not write over.
    const std::optional<SelectionProtection>& recordProtection() const { return recordProtection_; }
    // Where the open folder's last save went instead of its record, which could not take it.
    const std::optional<std::filesystem::path>& recordKeptBeside() const { return recordKeptBeside_; }
    const std::vector<std::string>& recentFolders() const { return recentFolders_; }
    bool isExportPresented() const { return isExportPresented_; }
    void setExportPresented(bool on);
    bool isPresetSavePresented() const { return isPresetSavePresented_; }
    void setPresetSavePresented(bool on);
    bool isPresetOrganizerPresented() const { return isPresetOrganizerPresented_; }
    void setPresetOrganizerPresented(bool on);
    bool isSingleExportPanelPresented() const { return isSingleExportPanelPresented_; }
    void setSingleExportPanelPresented(bool on);
    bool isFolderPanelPresented() const { return isFolderPanelPresented_; }
    bool isSingleExportInProgress() const { return isSingleExportInProgress_; }
    bool isImageCopyInProgress() const { return isImageCopyInProgress_; }
    bool showGrid() const { return showGrid_; }
    void setShowGrid(bool on);
    bool clippingWarning() const { return clippingWarning_; }
    PhotoSortKey sortKey() const { return sortKey_; }
    bool sortAscending() const { return sortAscending_; }
    const ExifCopyFieldSet& exifCopySelection() const { return exifCopySelection_; }
    bool cropInsideOnly() const { return cropInsideOnly_; }
    void setCropInsideOnly(bool on);
    ParameterPage parameterPage() const { return parameterPage_; }
    ParameterEditTarget editTarget() const { return editTarget_; }
    bool isMaskAddPresented() const { return isMaskAddPresented_; }
    void setMaskAddPresented(bool on);
    bool lowMemoryMode() const { return lowMemoryMode_; }
    const std::optional<std::string>& toastText() const { return toastText_; }
    bool toastIsVisible() const { return toastIsVisible_; }
    const std::optional<HeartFeedbackPresentation>& heartFeedback() const { return heartFeedback_; }
    bool heartFeedbackIsVisible() const { return heartFeedbackIsVisible_; }
    const std::optional<PhotoParameters>& copiedParameters() const { return copiedParameters_; }
    const std::vector<ParameterPreset>& presets() const { return presets_; }
    bool adjustmentInputIsFocused() const { return adjustmentInputIsFocused_; }
    bool isSourceLoading() const { return isSourceLoading_; }
    bool loupeOn() const { return loupeOn_; }
    bool showingOriginal() const { return showingOriginal_; }
    bool isCommandCheatSheetVisible() const { return isCommandCheatSheetVisible_; }
    double rightPanelWidth() const { return rightPanelWidth_; }
    void setRightPanelWidth(double width);
    double bottomPanelHeight() const { return bottomPanelHeight_; }
    void setBottomPanelHeight(double height);
    bool rightPanelCollapsed() const { return rightPanelCollapsed_; }
    void setRightPanelCollapsed(bool on);
    bool bottomPanelCollapsed() const { return bottomPanelCollapsed_; }
    void setBottomPanelCollapsed(bool on);

    // Owned helpers the views read.
    AppSettings& settings() const { return settings_; }
    ExifLoader& exifLoader() { return exifLoader_; }
    ImageLoader& imageLoader() { return imageLoader_; }
    HistogramLoader& histogramLoader() { return histogramLoader_; }
    const ParameterPresetManager& presetManager() const { return presetManager_; }

    // ---- Application ----
    // True while a sheet, panel or dialog is up; photo commands give up meanwhile.
    bool isModalExportPresented() const;
    void togglePanels();
    // Saves what is left and stops all background work (quit, main window closed). The record
    // is written before the process ends: the executor waits for its work.
    void prepareForTermination();
    // The image loader stored a developed image of the current photo.
    void imageAvailabilityChanged();
    // The image loader's revision moved (a decode among the reasons).
    void imageRevisionChanged();

    // ---- Opening a folder ----
    void chooseSourceFolder();
    void open(const std::filesystem::path& folder);
    void cancelLoading();
    void openRecentFolder(const std::string& path);
    void removeRecentFolder(const std::string& path);

    // ---- Navigation, hearts, filter and sort ----
    bool move(int by);
    void jumpToStart();
    void jumpToEnd();
    void jump(int toIndex);
    // False when the library refused the row (not listed, or no such copy): the cursor stayed.
    bool jump(const std::string& toPath, RetouchSlot slot);
    void didJump(const std::optional<RetouchCursor>& from);
    void loadCurrentExif();
    void prefetch();
    void prepareNeighbours();
    void scheduleCurrentHistogram();
    void toggleHeart();
    void toggleFilter();
    void disableFilter();
    void setSort(PhotoSortKey key, bool ascending);
    void toggleSortKey();
    void setClippingWarning(bool on);
    void setLowMemoryMode(bool on);
    std::optional<int> lastNavigationDirection() const { return lastNavigationDirection_; }

    // ---- Copies B ----
    void createRetouchDuplicate();
    void deleteRetouchDuplicate();

    // ---- Messages and saving ----
    void showToasts(const std::vector<std::string>& messages, double duration);
    void showHeartFeedback(HeartFeedbackKind kind);
    void scheduleSave();
    // Starts writing the record of what the library holds now, unless nothing changed since the
    // last save; the write runs in the background, and a failure is said when it ends.
    void saveNow();
    // Saves at once, and calls `then` once every save asked for has ended, or once
    // kFinishSavingWait seconds have passed with one still being written, whichever comes
    // first; at once when nothing is left to wait for. Edits that come meanwhile (a straightening
    // that finishes) are saved within the same time. The main thread never waits meanwhile; the
    // keyboard picture goes, since the user's input (its key's release) waits.
    void finishSaving(std::function<void(RecordSaving)> then);
    // Calls `then` once every save asked for has ended, however long the disk takes; at once when
    // none is being written. Saves nothing itself.
    void whenSavesEnd(std::function<void(RecordSaving)> then);
    // "<what>を保存できませんでした（<why>）": the change lasts only while the program runs.
    void showWriteFailure(std::string_view what, std::error_code error);
    void showNotSaved(std::string_view what, const std::string& reason);
    // A message shown once the one on screen (and any waiting after it) has had its time; at once
    // when nothing shows. A message already on screen or waiting last is not added again, and a
    // newer message shows first without dropping it.
    void showToastAfterCurrent(std::string message, double duration);
    // A preference the file could not take, whichever change wrote it: said after the message of
    // that change (a sort order's), unless the change said so itself (a preset's).
    void preferencesNotWritten(std::error_code error);
    // Calls `done` once what was asked of the preferences file so far is done (the store's thread
    // writes and reads it), unless the state is gone by then.
    void whenPreferencesDone(std::function<void(std::optional<std::error_code>)> done);
    // After a change of the presets: once the preferences file has it, the presets as stored are
    // shown and `said` is called (it says the change); when the file could not take it, that is
    // said instead.
    void afterPresetsWritten(std::function<void()> said);
    // Shows the presets the preferences hold now (another copy's too, once they were read).
    void takeInStoredPresets();

    // ---- Command cheat sheet ----
    void handleCommandCheatSheetModifierFlags(ModifierKeys flags);
    bool commandCheatSheetIsAllowed() const;
    void resetCommandCheatSheetTracking();

    // ---- Edits of the current photo ----
    void rotateCurrent(double byDegrees);
    void setCurrentRotation(double degrees);
    void resetCurrentRotation();
    void resizeCurrentCrop(int bySteps);
    void moveCurrentCrop(CropDirection direction);
    void setCurrentCropAspect(const CropAspect& aspect);
    void setCurrentCropSize(int percent);
    void setCurrentCropPixelX(int pixel);
    void setCurrentCropPixelY(int pixel);
    void resetCurrentCrop();
    void adjustCurrentParameter(PhotoParameter parameter, int by);
    void setCurrentParameter(PhotoParameter parameter, int value);
    void resetCurrentParameter(PhotoParameter parameter);
    void selectCurveChannel(PointCurveChannel channel);
    void performParameterClipboardAction(ParameterClipboardAction action);
    bool randomizeCurrentParameters(RandomGenerator& generator);
    void autoStraightenCurrent();
    void cancelStraightening();
    void refreshParameterImage();
    void updatePhotoArea(Size size, double backingScaleFactor);
    double photoAreaBackingScaleFactor() const { return photoAreaBackingScaleFactor_; }
    void setAdjustmentInputFocused(bool focused);
    bool currentPhotoIsRaw() const;
    RawDevelopmentSupport currentRawDevelopmentSupport() const;
    std::optional<float> rawNeutralTemperature(const PhotoParameters& parameters) const;

    // ---- Presets ----
    // Has the settings and presets another copy of the program has written since this one last
    // read them taken in, off the main thread; called as a sheet or menu that shows them opens,
    // which shows what is held meanwhile. The presets shown follow once they are read.
    void refreshStoredPreferences();
    void presentPresetSave();
    ParameterPresetSaveResult savePreset(std::string_view name);
    void presentPresetOrganizer();
    bool applyPreset(int index);
    ParameterPresetRenameResult renamePreset(int index, std::string_view name);
    std::optional<ParameterPresetDeleteResult> deletePreset(int index);
    // Swaps a preset with its neighbour and republishes the list (no message, no undo); the
    // preset's new index, or none at either end of the list.
    std::optional<int> movePreset(int index, ParameterPresetMoveDirection direction);

    // ---- Masks and pages ----
    void selectParameterTab(int pageRawValue);
    void selectEditTarget(ParameterEditTarget target);
    void presentMaskAddition();
    void addMask(const MaskKind& kind);
    bool deleteCurrentMask(int index);
    void setCurrentMaskShapeValues(const std::vector<std::pair<PhotoParameter, int>>& values);

    // ---- Undo ----
    // The window's undo manager; held weakly.
    void setUndoManager(const std::shared_ptr<UndoManager>& manager);

    // ---- Clipboard ----
    std::optional<std::string> currentExifCopyText() const;
    void toggleExifCopyField(ExifCopyField field);
    void copyExifText();
    void copyCurrentImage();

    // ---- Export ----
    void presentExport();
    // "書き出し先を開く": the folder in the file manager, or a toast saying it could not be shown.
    void openExportDestination(const std::filesystem::path& folder);
    // The batch export running now, while it runs; quitting cancels it.
    void setActiveExportCancellation(std::shared_ptr<ExportCancellationToken> token) {
        activeExportCancellation_ = std::move(token);
    }
    const std::shared_ptr<ExportCancellationToken>& activeExportCancellation() const {
        return activeExportCancellation_;
    }
    BackgroundExecutor& executor() const { return executor_; }
    // The folder chooser, for the export's destination too; none where there is no window.
    FolderPanel* folderPanel() const { return folderPanel_; }
    void presentCurrentPhotoExport();

    // ---- Original preview ----
    void setShowingOriginal(bool on);
    // The original preview key went down or up; while it is held with no modifier, the original
    // shows as while Meta alone is held.
    void holdOriginalPreviewKey(bool held);
    void scheduleOriginalPreviewPreparation();

    // ---- Loupe and zoom ----
    bool loupeButtonIsEnabled() const;
    void toggleLoupe();
    void handleModifierFlags(ModifierKeys flags);
    void setZoomScale(double scale, Point anchor, Size viewportSize, Size fittedImageSize);
    void updateFullResolutionRequest();
    SharedImage loupeSourceImage(const Photo& photo, bool preferFullResolution) const;

    // ---- JPEG/RAW switching ----
    void toggleCurrentSource();
    bool selectSource(PhotoSource source, const std::string& path, std::optional<RetouchSlot> slot,
                      bool registersUndo, bool showsToast);
    void finishSourceTransitionIfReady();
    void cancelSourceTransition();
    SharedImage displayImage(const Photo& photo, bool preferFullResolution) const;
    PhotoSource displayedSource(const Photo& photo) const;
    PhotoParameters displayedParameters(const Photo& photo) const;

    // Renders a photo from its file for the image copy and the one-photo export; the export's
    // renderer at full size unless a test replaces it.
    void setRenderer(Exporter::ExportRenderer renderer) { renderer_ = std::move(renderer); }

private:
    // What an edit reads before it changes anything.
    struct CapturedValues {
        std::string path;
        RetouchSlot slot = RetouchSlot::a;
        PhotoSource source = PhotoSource::jpeg;
        ParameterEditTarget target;
    };

    void publish(AppStateProperty property) { changed.emit(property); }
    // Asks in the background whether the folder is there; `answered` gets the answer, or none once
    // `wait` seconds have passed without one. A later request replaces an unanswered one, which
    // then ends what it began through `abandoned`.
    void checkFolder(const std::filesystem::path& folder, double wait,
                     std::function<void(std::optional<bool> isFolder)> answered,
                     std::function<void()> abandoned = {});
    void presentFolderPanel(const std::filesystem::path& start);
    // Wraps a main-queue action so that it does nothing once the state is gone.
    std::function<void()> weakly(std::function<void()> action);

    // Setters of published values with their observers.
    void setScreen(AppScreen screen);
    void setFolderPanelPresented(bool on);
    void setParameterPage(ParameterPage page);
    void setEditTarget(ParameterEditTarget target);
    void setToast(std::optional<std::string> text, bool visible);
    void checkCheatSheetAllowed();
    void endOriginalPreview();
    // Develops, finishes a JPEG/RAW switch, starts the histogram and prepares the original
    // preview with what the image loader now holds.
    void runAvailabilitySteps();

    // Opening a folder.
    void finishLoading(ScanResult result, const std::filesystem::path& folder);
    // The folder's record is read in steps, each of which asks the disk in the background: the
    // folder's store is made, then locked and loaded, and the folder shown with what it read.
    struct RecordOpening;
    void makeRecordStore(const std::shared_ptr<RecordOpening>& opening);
    void recordStoreMade(const std::shared_ptr<RecordOpening>& opening,
                         std::shared_ptr<SelectionStore> store);
    void readRecord(const std::shared_ptr<RecordOpening>& opening, std::shared_ptr<SelectionStore> store);
    void showFolder(RecordOpening& opening, std::shared_ptr<SelectionStore> store,
                    const SelectionLoadResult& loaded);
    // The opening's next attempt, unless another folder was opened or loading was cancelled
    // meanwhile.
    MainQueue::Task againFor(const std::shared_ptr<RecordOpening>& opening);
    // Runs the work in the background and then what it answers on the main thread, unless another
    // folder was opened or loading was cancelled meanwhile. The work touches nothing of the state.
    void inBackgroundForOpening(const std::shared_ptr<RecordOpening>& opening,
                                std::function<MainQueue::Task()> work);
    void setRecordWait(std::optional<RecordWait> wait);
    void recordRecentFolder(const std::filesystem::path& folder);
    void singleExportPanelClosed(SinglePhotoExport::Request request,
                                 std::optional<std::filesystem::path> file, SingleExportFormat format);
    // Reads the list of recent folders kept in the preferences.
    void readRecentFolders();
    // Changes the list as the preferences file holds it when written (folders another copy
    // listed, or that this copy could not read at its start, stay), then reads it back.
    void changeRecentFolders(const std::function<void(std::vector<std::string>&)>& change);

    // Navigation.
    void didChangePhoto();
    void didChangeRetouchSlot();
    void photoSideEffects(bool photoChanged);
    // A timed save, due after the delay; `deadline` tells the deadline's timer from the debounce's.
    MainQueue::Timer postSave(double delay, bool deadline);
    void saveOutsideAPhotosFirstFrame(bool deadline);
    void saveEnded(const SelectionSaver::Result& result);
    void recordNotWritten(const SelectionSaver::Result& result);
    // Shows the values that a save combined from a record changed elsewhere, for the photos not
    // changed here since.
    void takeCombination(const SelectionCombination& combination);
    // Waits for the saves asked for, then saves the edits made meanwhile, until none is left or a
    // save failed.
    void whenEverythingSaved(std::function<void(RecordSaving)> answer);
    bool aSaveFailed() const;
    RecordSaving recordSaving() const;
    std::optional<SelectionSaveValues> takeUnwrittenRecord(const SelectionStore& folder);
    bool pageMayStay(ParameterPage page, ParameterEditTarget target, bool isRaw) const;
    ParameterPage checkedPage(ParameterPage page, ParameterEditTarget target, bool isRaw) const;
    // After the current parameter set was changed or replaced (another photo, an undo, a paste, a
    // preset): a mask target whose mask is gone becomes the whole photo, and the page follows the
    // target.
    void keepEditTargetOnTheMasks();
    bool preferFullResolution() const;
    // Whether the photo is shown at its full size: in the loupe or zoomed in.
    bool showsFullResolution() const;

    // Shows the original exactly while the control modifier (Meta) alone, or the original preview
    // key with no modifier, is held on the browsing screen with nothing else in the way.
    void followOriginalPreviewHold();

    // Shows one message for its time, then the next waiting one, then fades out.
    void showToast(std::string message, double duration);

    // Edits.
    bool editGuard() const;
    CapturedValues capture() const;
    void developmentFollowUp();
    void geometryFollowUp();
    void rebuildParameterImageForGeometryChange();
    void rotationEdited(const CapturedValues& captured, double previousRotation);
    void cropEdit(const std::function<std::optional<ManualCrop>(const ManualCrop&, PixelSize)>& make);
    void cropEdited(const CapturedValues& captured, const ManualCrop& previousCrop);
    void parameterEdited(const CapturedValues& captured, const PhotoParameters& previous,
                         AppUndoParameterSubject subject, PhotoParameter parameter);
    void applyStraightening(const std::string& path, RetouchSlot slot, double previousRotation,
                            const StraighteningAnalysis& analysis);

    // Undo.
    void registerUndoChange(const AppUndoChange& change, const std::optional<AppUndoCoalescingKey>& key);
    void registerWithManager(UndoManager& manager, const AppUndoChange& change);
    void applyUndoChange(const AppUndoChange& change);
    std::optional<AppUndoChange> inverseUndoChange(const AppUndoChange& change,
                                                   const PhotoLibrary& library) const;
    void parameterUndoDidChange(const std::string& path, RetouchSlot slot);
    void geometryUndoDidChange(const std::string& path);
    void redevelopAfterUndo();
    void clearUndoHistory();

    // Original preview.
    void sendOriginalPreviewContext(bool prepare);
    void configureCurrentOriginalPreview();
    void cancelOriginalPreviewPreparation();

    // Source transition.
    bool transitionApplies(const Photo& photo) const;
    void scheduleSourceTransitionDeadline();

    // ---- Collaborators ----
    AppSettings& settings_;
    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    Pasteboard& pasteboard_;
    FolderPanel* folderPanel_;
    SingleExportPanel* singleExportPanel_;
    AlertPresenter* alerts_;
    FolderOpener* folderOpener_;
    std::filesystem::path cachesRoot_;
    std::optional<std::filesystem::path> applicationSupportDirectory_;
    std::optional<std::filesystem::path> legacyApplicationSupportDirectory_;
    std::function<double()> undoClock_;
    FolderScanner::MetadataReader metadataReader_;
    Exporter::ExportRenderer renderer_;
    // Expires with the state; delayed and background work holds it weakly.
    std::shared_ptr<AppState*> self_;

    // ---- Published state ----
    AppScreen screen_ = AppScreen::home;
    bool includeSubfolders_ = false;
    int loadingProcessed_ = 0;
    int loadingTotal_ = 0;
    std::optional<RecordWait> recordWait_;
    std::unique_ptr<PhotoLibrary> library_;
    std::optional<std::filesystem::path> sourceFolder_;
    bool usesFallbackStore_ = false;
    std::optional<SelectionProtection> recordProtection_;
    std::vector<std::string> recentFolders_;
    bool isExportPresented_ = false;
    bool isPresetSavePresented_ = false;
    bool isPresetOrganizerPresented_ = false;
    bool isSingleExportPanelPresented_ = false;
    bool isFolderPanelPresented_ = false;
    bool isSingleExportInProgress_ = false;
    bool isImageCopyInProgress_ = false;
    bool showGrid_ = false;
    bool clippingWarning_ = false;
    PhotoSortKey sortKey_ = PhotoSortKey::date;
    bool sortAscending_ = true;
    ExifCopyFieldSet exifCopySelection_;
    bool cropInsideOnly_ = false;
    ParameterPage parameterPage_ = ParameterPage::letter(ParameterLetterPage::basic);
    ParameterEditTarget editTarget_;
    bool isMaskAddPresented_ = false;
    bool lowMemoryMode_ = false;
    std::optional<std::string> toastText_;
    bool toastIsVisible_ = false;
    std::optional<HeartFeedbackPresentation> heartFeedback_;
    bool heartFeedbackIsVisible_ = false;
    std::optional<PhotoParameters> copiedParameters_;
    std::vector<ParameterPreset> presets_;
    bool adjustmentInputIsFocused_ = false;
    bool isSourceLoading_ = false;
    bool loupeOn_ = false;
    bool showingOriginal_ = false;
    bool isCommandCheatSheetVisible_ = false;
    double rightPanelWidth_ = 280;
    double bottomPanelHeight_ = 220;
    bool rightPanelCollapsed_ = false;
    bool bottomPanelCollapsed_ = false;

    // ---- Owned helpers and private state ----
    ExifLoader exifLoader_;
    HistogramLoader histogramLoader_;
    ParameterPresetManager presetManager_;
    NavigationSideEffectDebouncer navigationSideEffectDebouncer_;
    std::shared_ptr<RawDevelopmentCache> rawDevelopmentCache_;
    std::shared_ptr<RawDevelopmentSupportStore> rawDevelopmentSupportStore_;
    std::shared_ptr<FullResolutionRawCache> fullResolutionRawCache_;
    // Mutable: handing out an image refreshes its place in the loader's caches.
    mutable ImageLoader imageLoader_;

    std::weak_ptr<UndoManager> undoManager_;
    std::optional<AppUndoCoalescingState> undoCoalescingState_;

    FileManager& recordFiles_;
    SelectionStoreDisposal storeDisposal_;
    // Shared with the saves of it still being written.
    std::shared_ptr<SelectionStore> selectionStore_;
    SelectionSaver saver_;
    // A change of the open folder's edits not handed to a save yet.
    bool unsavedChanges_ = false;
    // Whether the last save of the open folder that ended was written.
    bool recordWritten_ = true;
    // The last file beside a record that saves were said to go to.
    std::optional<std::filesystem::path> keptBesideSaid_;
    std::optional<std::filesystem::path> recordKeptBeside_;
    // What the disk refused of folders left since: handed again at the next save and at quitting,
    // and shown again when the folder is opened before that.
    struct UnwrittenRecord {
        std::shared_ptr<SelectionStore> store;
        SelectionSaveValues values;
    };
    std::vector<UnwrittenRecord> unwrittenRecords_;
    std::shared_ptr<ExportCancellationToken> activeExportCancellation_;
    std::shared_ptr<ScanCancellationToken> scanCancellation_;
    FolderProbe folderProbe_;
    struct FolderCheck {
        FolderProbe::Question question;
        std::function<void()> abandoned;
    };
    std::optional<FolderCheck> folderCheck_; // the request awaiting an answer
    MainQueue::Timer saveTimer_;
    std::optional<MainQueue::Timer> saveDeadlineTimer_; // set from the first unsaved change on
    // When the current photo last changed, on the main queue's clock.
    double photoChangedAt_ = -std::numeric_limits<double>::infinity();
    MainQueue::Timer toastTimer_;
    struct WaitingToast {
        std::string text;
        double duration;
        bool follows; // said after whatever shows: a newer message does not drop it
    };
    std::deque<WaitingToast> waitingToasts_; // after the message on screen
    // A failed write of the preferences still to be said; a panel's drag writes at every move,
    // and is said once per turn of the main queue.
    std::optional<std::error_code> unsaidPreferencesFailure_;
    MainQueue::Timer heartFeedbackTimer_;
    std::uint64_t nextHeartFeedbackID_ = 1;
    std::shared_ptr<bool> straighteningCancelled_;
    std::optional<std::uint64_t> straighteningRequestID_;
    std::uint64_t nextStraighteningRequestID_ = 1;

    bool optionWasPressed_ = false;
    bool commandWasPressed_ = false;
    ModifierKeys heldModifiers_; // at the last modifier change
    bool originalPreviewKeyHeld_ = false;
    std::optional<MainQueue::Timer> commandCheatSheetTimer_;

    double photoAreaLongEdge_ = 0;
    double photoAreaBackingScaleFactor_ = 1.0;

    std::optional<std::string> sourceLoadingPath_;
    std::optional<RetouchSlot> sourceLoadingSlot_;
    std::optional<PhotoSource> sourceLoadingTarget_;
    std::optional<PhotoSource> sourceLoadingPrevious_;
    SharedImage sourceTransitionDisplayImage_;
    SharedImage sourceTransitionLoupeImage_;
    std::optional<PhotoParameters> sourceTransitionParameters_;
    MainQueue::Timer sourceTransitionDeadline_;

    std::optional<MainQueue::Timer> originalPreviewPreparationTimer_;

    // The availability steps wait for the next turn of the main queue; the loader's revision when
    // they last ran.
    bool availabilityStepsPosted_ = false;
    std::uint64_t availabilityStepsRevision_ = 0;
    Signal<>::Connection imageRevisionConnection_;
    Signal<std::error_code>::Connection preferencesWriteFailed_;

    std::optional<int> pendingNavigationDirection_;
    std::optional<int> lastNavigationDirection_;
};

} // namespace sorvin
