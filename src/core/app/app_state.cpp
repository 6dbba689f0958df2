#include "app/app_state.hpp"

#include "app/scan_cancellation_token.hpp"
#include "engine/full_resolution_raw_cache.hpp"
#include "engine/raw_development_cache.hpp"
#include "engine/raw_development_support_store.hpp"
#include "persistence/preference_key.hpp"
#include "app/panel_resize_limits.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

constexpr PanelResizeLimits kRightPanel = PanelResizeLimits::of(PanelResizeAxis::rightPanel);
constexpr PanelResizeLimits kBottomPanel = PanelResizeLimits::of(PanelResizeAxis::bottomPanel);

} // namespace

AppState::AppState(AppSettings& settings, AppStateEnvironment environment)
    : settings_(settings), mainQueue_(environment.mainQueue), executor_(environment.executor),
      pasteboard_(environment.pasteboard), folderPanel_(environment.folderPanel),
      singleExportPanel_(environment.singleExportPanel), alerts_(environment.alerts),
      folderOpener_(environment.folderOpener),
      cachesRoot_(environment.cachesRoot.empty() ? FolderScanner::defaultCachesRoot()
                                                 : environment.cachesRoot),
      applicationSupportDirectory_(std::move(environment.applicationSupportDirectory)),
      legacyApplicationSupportDirectory_(std::move(environment.legacyApplicationSupportDirectory)),
      undoClock_(std::move(environment.undoClock)),
      metadataReader_(environment.metadataReader ? std::move(environment.metadataReader)
                                                 : FolderScanner::MetadataReader(FolderScanner::metadata)),
      self_(std::make_shared<AppState*>(this)),
      exifLoader_(environment.mainQueue, environment.executor, std::move(environment.exifReader)),
      histogramLoader_(environment.mainQueue, environment.executor,
                       std::move(environment.histogramProcessor)),
      presetManager_(settings.presetStore(), settings.presetStore().load().presets),
      navigationSideEffectDebouncer_(environment.mainQueue),
      rawDevelopmentCache_(environment.rawDevelopment
                               ? std::make_shared<RawDevelopmentCache>(std::move(environment.rawDevelopment))
                               : std::make_shared<RawDevelopmentCache>()),
      rawDevelopmentSupportStore_(std::make_shared<RawDevelopmentSupportStore>()),
      fullResolutionRawCache_(std::make_shared<FullResolutionRawCache>()),
      imageLoader_(
          environment.mainQueue, environment.executor,
          ImageLoaderSetup{.lowMemoryMode = settings.defaults().boolValue(PreferenceKey::lowMemoryMode),
                           .rawDevelopmentCache = rawDevelopmentCache_,
                           .rawDevelopmentSupportStore = rawDevelopmentSupportStore_,
                           .fullResolutionRawCache = fullResolutionRawCache_,
                           .fullResolutionRawDevelopment = {},
                           .originalPreviewCache = std::make_shared<OriginalPreviewCache>(),
                           .decoder = {},
                           .develop = {}}),
      recordFiles_(environment.recordFiles ? *environment.recordFiles : FileManager::standard()),
      storeDisposal_(environment.mainQueue, environment.executor),
      saver_(environment.mainQueue,
             environment.recordExecutor ? *environment.recordExecutor : environment.executor,
             [weak = std::weak_ptr<AppState*>(self_)](const SelectionSaver::Result& result) {
                 if (auto self = weak.lock()) (*self)->saveEnded(result);
             }),
      folderProbe_(environment.mainQueue, environment.folderProbeExecutor ? *environment.folderProbeExecutor
                                                                          : environment.executor) {
    if (!undoClock_) undoClock_ = [&queue = mainQueue_] { return queue.now(); };
    renderer_ = [decode = Exporter::fileDecoder()](const Photo& photo, double rotation, const ManualCrop& crop,
                                                   const PhotoParameters& parameters, PhotoSource source,
                                                   std::optional<int> maximumLongEdge) {
        return Exporter::renderEditedImageAndMetadata(photo, rotation, crop, parameters, source,
                                                      maximumLongEdge, decode);
    };

    DefaultsStore& defaults = settings_.defaults();
    defaults.reportOn(&mainQueue_);
    preferencesWriteFailed_ =
        defaults.writeFailed.connect([this](std::error_code error) { preferencesNotWritten(error); });
    if (const auto error = defaults.writeError()) showWriteFailure("設定", *error);
    readRecentFolders();
    presets_ = presetManager_.presets();
    lowMemoryMode_ = defaults.boolValue(PreferenceKey::lowMemoryMode);
    imageLoader_.setLowMemoryMode(defaults.boolValue(PreferenceKey::lowMemoryMode));

    includeSubfolders_ = defaults.boolValue(PreferenceKey::includeSubfolders);
    showGrid_ = defaults.boolValue(PreferenceKey::showGrid);
    clippingWarning_ = defaults.boolValue(PreferenceKey::clippingWarning);
    sortKey_ = settings_.sortKey();
    sortAscending_ = defaults.boolValue(PreferenceKey::sortAscending);
    exifCopySelection_ = settings_.exifCopySelection();
    rightPanelWidth_ = kRightPanel.clamped(defaults.doubleValue(PreferenceKey::rightPanelWidth));
    bottomPanelHeight_ = kBottomPanel.clamped(defaults.doubleValue(PreferenceKey::bottomPanelHeight));
    rightPanelCollapsed_ = defaults.boolValue(PreferenceKey::rightPanelCollapsed);
    bottomPanelCollapsed_ = defaults.boolValue(PreferenceKey::bottomPanelCollapsed);
    editTarget_ = ParameterEditTarget::global();

    // With the global target only the shape page has to go; the full rule needs a photo. The page
    // is written back at every start, so a stored value that names no page (15, -1, a text) or one
    // that may not stay is replaced by the page shown; the page read again writes nothing (nor
    // does the first page where the file could not be read: the page the file holds stays).
    const bool mayKeepRaw = true;
    parameterPage_ = checkedPage(settings_.parameterPage(), editTarget_, mayKeepRaw);
    if (settings_.integralNumber(PreferenceKey::parameterTab) != parameterPage_.storedValue())
        defaults.set(PreferenceKey::parameterTab, parameterPage_.storedValue());

    imageLoader_.availabilityChanged = weakly([this] { imageAvailabilityChanged(); });
    imageRevisionConnection_ = imageLoader_.revisionChanged.connect([this] { imageRevisionChanged(); });
}

AppState::~AppState() {
    settings_.defaults().reportOn(nullptr);
    // Delayed work that is still queued finds the state gone.
    self_.reset();
    saveTimer_.cancel();
    if (saveDeadlineTimer_) saveDeadlineTimer_->cancel();
    toastTimer_.cancel();
    heartFeedbackTimer_.cancel();
    sourceTransitionDeadline_.cancel();
    if (commandCheatSheetTimer_) commandCheatSheetTimer_->cancel();
    if (originalPreviewPreparationTimer_) originalPreviewPreparationTimer_->cancel();
    if (straighteningCancelled_) *straighteningCancelled_ = true;
    // The executor may go before the state: the stores let go from now on end where they go.
    storeDisposal_.close();
}

std::function<void()> AppState::weakly(std::function<void()> action) {
    return [weak = std::weak_ptr<AppState*>(self_), action = std::move(action)] {
        if (weak.lock()) action();
    };
}

// ---- Published values with observers ----

void AppState::setScreen(AppScreen screen) {
    screen_ = screen;
    publish(AppStateProperty::screen);
    checkCheatSheetAllowed();
}

void AppState::checkCheatSheetAllowed() {
    if (!commandCheatSheetIsAllowed()) resetCommandCheatSheetTracking();
}

void AppState::setIncludeSubfolders(bool on) {
    includeSubfolders_ = on;
    settings_.defaults().set(PreferenceKey::includeSubfolders, on);
    publish(AppStateProperty::includeSubfolders);
}

void AppState::setShowGrid(bool on) {
    showGrid_ = on;
    settings_.defaults().set(PreferenceKey::showGrid, on);
    publish(AppStateProperty::showGrid);
}

void AppState::setCropInsideOnly(bool on) {
    cropInsideOnly_ = on;
    publish(AppStateProperty::cropInsideOnly);
}

void AppState::setRightPanelCollapsed(bool on) {
    rightPanelCollapsed_ = on;
    settings_.defaults().set(PreferenceKey::rightPanelCollapsed, on);
    publish(AppStateProperty::rightPanelCollapsed);
}

void AppState::setBottomPanelCollapsed(bool on) {
    bottomPanelCollapsed_ = on;
    settings_.defaults().set(PreferenceKey::bottomPanelCollapsed, on);
    publish(AppStateProperty::bottomPanelCollapsed);
}

void AppState::setRightPanelWidth(double width) {
    rightPanelWidth_ = width;
    settings_.defaults().set(PreferenceKey::rightPanelWidth, kRightPanel.clamped(width));
    publish(AppStateProperty::rightPanelWidth);
}

void AppState::setBottomPanelHeight(double height) {
    bottomPanelHeight_ = height;
    settings_.defaults().set(PreferenceKey::bottomPanelHeight, kBottomPanel.clamped(height));
    publish(AppStateProperty::bottomPanelHeight);
}

// Every change of photo sets the page and the edit target again, mostly to what they were: only a
// change is published, so the views are not all refreshed once more in each step.
void AppState::setParameterPage(ParameterPage page) {
    if (page == parameterPage_) return;
    parameterPage_ = page;
    settings_.defaults().set(PreferenceKey::parameterTab, page.storedValue());
    publish(AppStateProperty::parameterPage);
}

void AppState::setEditTarget(ParameterEditTarget target) {
    if (target == editTarget_) return;
    editTarget_ = target;
    publish(AppStateProperty::editTarget);
}

void AppState::setExportPresented(bool on) {
    isExportPresented_ = on;
    publish(AppStateProperty::isExportPresented);
    if (on) endOriginalPreview();
    checkCheatSheetAllowed();
}

void AppState::setPresetSavePresented(bool on) {
    isPresetSavePresented_ = on;
    publish(AppStateProperty::isPresetSavePresented);
    checkCheatSheetAllowed();
}

void AppState::setPresetOrganizerPresented(bool on) {
    isPresetOrganizerPresented_ = on;
    publish(AppStateProperty::isPresetOrganizerPresented);
    checkCheatSheetAllowed();
}

void AppState::setSingleExportPanelPresented(bool on) {
    isSingleExportPanelPresented_ = on;
    publish(AppStateProperty::isSingleExportPanelPresented);
    checkCheatSheetAllowed();
}

void AppState::setFolderPanelPresented(bool on) {
    isFolderPanelPresented_ = on;
    publish(AppStateProperty::isFolderPanelPresented);
    checkCheatSheetAllowed();
}

void AppState::setMaskAddPresented(bool on) {
    isMaskAddPresented_ = on;
    publish(AppStateProperty::isMaskAddPresented);
    checkCheatSheetAllowed();
}

// Sheets, panels, focus and another photo end the unedited original on screen.
void AppState::endOriginalPreview() {
    if (!showingOriginal_) return;
    showingOriginal_ = false;
    publish(AppStateProperty::showingOriginal);
    imageLoader_.endOriginalPreview();
    refreshParameterImage();
    scheduleCurrentHistogram();
}

bool AppState::isModalExportPresented() const {
    return isExportPresented_ || isSingleExportPanelPresented_ || isFolderPanelPresented_ ||
           isPresetSavePresented_ || isPresetOrganizerPresented_ || isMaskAddPresented_;
}

void AppState::togglePanels() {
    const bool collapse = !(rightPanelCollapsed_ && bottomPanelCollapsed_);
    setRightPanelCollapsed(collapse);
    setBottomPanelCollapsed(collapse);
}

// ---- Life cycle ----

void AppState::imageAvailabilityChanged() {
    if (screen_ != AppScreen::select) return;
    runAvailabilitySteps();
}

// Any image that arrives (a late decode among them) may let the current photo be developed, its
// histogram start or a JPEG/RAW switch end. Revisions come in bursts, so the steps run once on the
// next turn of the main queue, and not at all when they already ran for this revision.
void AppState::imageRevisionChanged() {
    if (screen_ != AppScreen::select || availabilityStepsPosted_) return;
    availabilityStepsPosted_ = true;
    mainQueue_.post(weakly([this] {
        availabilityStepsPosted_ = false;
        if (screen_ != AppScreen::select || imageLoader_.revision() == availabilityStepsRevision_) return;
        runAvailabilitySteps();
    }));
}

void AppState::runAvailabilitySteps() {
    refreshParameterImage();
    finishSourceTransitionIfReady();
    // A pending navigation action schedules the histogram itself once movement rests.
    if (!navigationSideEffectDebouncer_.isPending()) scheduleCurrentHistogram();
    scheduleOriginalPreviewPreparation();
    // What the steps themselves changed in the loader needs no second run.
    availabilityStepsRevision_ = imageLoader_.revision();
}

void AppState::prepareForTermination() {
    saveNow();
    if (scanCancellation_) scanCancellation_->cancel();
    // Removes the file the export was writing.
    if (activeExportCancellation_) activeExportCancellation_->cancel();
    heartFeedbackTimer_.cancel();
    imageLoader_.cancelAll();
    navigationSideEffectDebouncer_.cancel();
    cancelSourceTransition();
    cancelStraightening();
    exifLoader_.clear();
    histogramLoader_.clear();
}

} // namespace sorvin
