// Opening a folder: the folder panel, the scan in the background, the record and the new library,
// and the recent folders.

#include "app/app_state.hpp"
#include "engine/raw_development_support_store.hpp"
#include "persistence/preference_key.hpp"

#include <algorithm>
#include <exception>
#include <system_error>
#include <variant>

namespace sorvin {

namespace {

PhotoLibraryRestoration restorationFrom(const SelectionSaveValues& unwritten) {
    PhotoLibraryRestoration restored;
    restored.hearts = unwritten.hearts;
    restored.rotations = unwritten.rotations;
    restored.crops = unwritten.crops;
    restored.parameters = unwritten.parameters;
    restored.parametersRaw = unwritten.parametersRaw;
    restored.sources = unwritten.sources;
    restored.retouchesB = unwritten.retouchesB;
    restored.cursorPath = unwritten.cursor;
    return restored;
}

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    return "/";
}

} // namespace

// The last folder's disk may have stopped answering: it is asked in the background, and the panel
// starts at home when no answer comes in time. A recent folder opened meanwhile takes the check's
// place, and the panel is then not shown at all.
void AppState::chooseSourceFolder() {
    endOriginalPreview();
    if (!folderPanel_ || isFolderPanelPresented_) return;
    setFolderPanelPresented(true);
    const auto last = settings_.defaults().string(PreferenceKey::lastFolder);
    if (!last) {
        presentFolderPanel(homeDirectory());
        return;
    }
    checkFolder(
        *last, kFolderCheckWait,
        [this, last = std::filesystem::path(*last)](std::optional<bool> isFolder) {
            presentFolderPanel(isFolder.value_or(false) ? last : homeDirectory());
        },
        [this] { setFolderPanelPresented(false); });
}

void AppState::presentFolderPanel(const std::filesystem::path& start) {
    std::optional<std::filesystem::path> chosen = folderPanel_->chooseFolder(start);
    if (chosen) open(*chosen);
    setFolderPanelPresented(false);
}

void AppState::checkFolder(const std::filesystem::path& folder, double wait,
                           std::function<void(std::optional<bool>)> answered,
                           std::function<void()> abandoned) {
    if (auto replaced = std::exchange(folderCheck_, std::nullopt); replaced && replaced->abandoned)
        replaced->abandoned();
    folderCheck_.emplace();
    folderCheck_->abandoned = std::move(abandoned);
    // The first word ends the check: the answer, or none at the end of the wait. A disk that
    // answers after the wait brings nothing more.
    folderCheck_->question =
        folderProbe_.isFolder(folder, wait, [this, answered = std::move(answered)](std::optional<bool> isFolder) {
            if (auto ended = std::exchange(folderCheck_, std::nullopt)) ended->question.cancel();
            answered(isFolder);
        });
}

void AppState::open(const std::filesystem::path& folder) {
    endOriginalPreview();
    saveNow();
    // The folder is left: what its saves still report is kept apart from the next folder's.
    selectionStore_.reset();
    clearUndoHistory();
    cancelOriginalPreviewPreparation();
    imageLoader_.discardOriginalPreview();
    imageLoader_.cancelAll();
    navigationSideEffectDebouncer_.cancel();
    rawDevelopmentSupportStore_->clear();
    cancelSourceTransition();
    cancelStraightening();
    exifLoader_.clear();
    histogramLoader_.clear();

    const std::filesystem::path standardized = FolderScanner::standardized(folder);
    settings_.defaults().set(PreferenceKey::lastFolder, standardized.string());

    sourceFolder_ = standardized;
    publish(AppStateProperty::sourceFolder);
    const bool hadLibrary = library_ != nullptr;
    library_.reset();
    if (hadLibrary) publish(AppStateProperty::library);
    loadingProcessed_ = 0;
    loadingTotal_ = 0;
    publish(AppStateProperty::loadingProgress);
    setRecordWait(std::nullopt);
    usesFallbackStore_ = false;
    publish(AppStateProperty::usesFallbackStore);
    recordProtection_.reset();
    publish(AppStateProperty::recordProtection);
    setScreen(AppScreen::loading);

    // An earlier scan still running is left to finish; its token is no longer current, so its
    // result is dropped.
    auto token = std::make_shared<ScanCancellationToken>();
    scanCancellation_ = token;
    const bool includeSubfolders = includeSubfolders_;

    MainQueue& mainQueue = mainQueue_;
    const std::weak_ptr<AppState*> weak = self_;
    auto progress = [&mainQueue, weak](std::size_t processed, std::size_t total) {
        mainQueue.post([weak, processed, total] {
            auto self = weak.lock();
            if (!self) return;
            AppState& state = **self;
            state.loadingProcessed_ = static_cast<int>(processed);
            state.loadingTotal_ = static_cast<int>(total);
            state.publish(AppStateProperty::loadingProgress);
        });
    };
    executor_.run(TaskPriority::userInitiated,
                  [&mainQueue, weak, token, standardized, includeSubfolders, progress,
                   cachesRoot = cachesRoot_, reader = metadataReader_] {
                      using Outcome = std::variant<ScanResult, std::exception_ptr>;
                      Outcome outcome;
                      try {
                          outcome = FolderScanner::scan(
                              standardized, includeSubfolders, progress,
                              [token] { return token->isCancelled(); }, cachesRoot, reader);
                      } catch (...) {
                          outcome = std::current_exception();
                      }
                      mainQueue.post([weak, token, standardized, outcome = std::move(outcome)]() mutable {
                          auto self = weak.lock();
                          if (!self) return;
                          AppState& state = **self;
                          if (state.scanCancellation_ != token) return;
                          if (auto* result = std::get_if<ScanResult>(&outcome)) {
                              state.finishLoading(std::move(*result), standardized);
                              return;
                          }
                          state.scanCancellation_.reset();
                          state.setScreen(AppScreen::home);
                          try {
                              std::rethrow_exception(std::get<std::exception_ptr>(outcome));
                          } catch (const FolderScannerError& error) {
                              if (error.kind() == FolderScannerError::Kind::cancelled) return;
                          } catch (...) {
                          }
                          state.showToasts({"フォルダにアクセスできなくなりました"}, 3.0);
                      });
                  });
}

void AppState::cancelLoading() {
    if (scanCancellation_) scanCancellation_->cancel();
    scanCancellation_.reset();
    setRecordWait(std::nullopt);
    setScreen(AppScreen::home);
}

void AppState::setRecordWait(std::optional<RecordWait> wait) {
    if (wait == recordWait_) return;
    recordWait_ = std::move(wait);
    publish(AppStateProperty::recordWait);
}

// What a folder's opening carries from its scan to the reading of its record. The scan's token
// stays current until the record is read, so that opening another folder or cancelling drops the
// reading, also while it waits for a save or another copy of the program.
struct AppState::RecordOpening {
    ScanResult scan;
    std::filesystem::path folder;
    std::shared_ptr<ScanCancellationToken> token;
};

void AppState::finishLoading(ScanResult result, const std::filesystem::path& folder) {
    if (result.photos.empty()) {
        scanCancellation_.reset();
        setScreen(AppScreen::home);
        showToasts({"このフォルダに JPEG がありません"}, 3.0);
        return;
    }
    makeRecordStore(
        std::make_shared<RecordOpening>(RecordOpening{std::move(result), folder, scanCancellation_}));
}

// Each attempt makes the store anew, which looks at the folder: it may have been mounted anew
// meanwhile (a card put back).
void AppState::makeRecordStore(const std::shared_ptr<RecordOpening>& opening) {
    inBackgroundForOpening(
        opening,
        [this, opening, disposal = storeDisposal_, support = applicationSupportDirectory_,
         legacySupport = legacyApplicationSupportDirectory_, &files = recordFiles_]() -> MainQueue::Task {
            std::shared_ptr<SelectionStore> store = disposal.adopt(
                std::make_unique<SelectionStore>(opening->folder, support, legacySupport, files));
            return [this, opening, store] { recordStoreMade(opening, store); };
        });
}

// A save of this folder from before may still be under way (a scan from the cache is quick, a
// large record on a slow disk is not): the record is read once that save has ended, however long
// it takes, with the loading screen up meanwhile saying so; read before, it would give the edits
// back as they were, and the next save would write them over the late one. Saves of other folders
// are not waited for. The folder is known by its identity, whatever path it was opened by.
void AppState::recordStoreMade(const std::shared_ptr<RecordOpening>& opening,
                               std::shared_ptr<SelectionStore> store) {
    if (saver_.isSaving(store.get())) {
        setRecordWait(RecordWait{});
        saver_.whenSaved(store.get(), againFor(opening));
        return;
    }
    readRecord(opening, std::move(store));
}

// Another copy of the program that has the folder open, or still saves it, is its record's one
// writer: the record is read once it lets go (tried again a second after each answer, since it
// tells no one), or when it dies.
void AppState::readRecord(const std::shared_ptr<RecordOpening>& opening,
                          std::shared_ptr<SelectionStore> store) {
    inBackgroundForOpening(opening, [this, opening, store]() -> MainQueue::Task {
        if (auto holder = store->lock()) {
            return [this, opening, holder = *holder] {
                setRecordWait(RecordWait{holder});
                mainQueue_.postAfter(kRecordLockRetry, againFor(opening));
            };
        }
        std::vector<std::string> photoPaths;
        photoPaths.reserve(opening->scan.photos.size());
        for (const Photo& photo : opening->scan.photos)
            photoPaths.push_back(photo.relativePath);
        store->setFolderPhotos(std::move(photoPaths));
        auto loaded = std::make_shared<const SelectionLoadResult>(store->load());
        return [this, opening, store, loaded] {
            // A save of the folder asked for while its record was read (values the disk refused
            // when it was left, handed again at a quit called off): read again once it has ended.
            if (saver_.isSaving(store.get())) {
                recordStoreMade(opening, store);
                return;
            }
            showFolder(*opening, store, *loaded);
        };
    });
}

MainQueue::Task AppState::againFor(const std::shared_ptr<RecordOpening>& opening) {
    return weakly([this, opening] {
        if (scanCancellation_ == opening->token) makeRecordStore(opening);
    });
}

void AppState::inBackgroundForOpening(const std::shared_ptr<RecordOpening>& opening,
                                      std::function<MainQueue::Task()> work) {
    executor_.run(TaskPriority::userInitiated,
                  [&mainQueue = mainQueue_, weak = std::weak_ptr<AppState*>(self_), token = opening->token,
                   work = std::move(work)] {
                      mainQueue.post([weak, token, answer = work()] {
                          const auto self = weak.lock();
                          if (self && (*self)->scanCancellation_ == token) answer();
                      });
                  });
}

void AppState::showFolder(RecordOpening& opening, std::shared_ptr<SelectionStore> store,
                          const SelectionLoadResult& loaded) {
    setRecordWait(std::nullopt);
    scanCancellation_.reset();
    ScanResult& result = opening.scan;
    // Values of this folder that the disk refused when it was left are newer than its record:
    // they come back, and the next save writes them.
    std::optional<SelectionSaveValues> unwritten = takeUnwrittenRecord(*store);
    selectionStore_ = std::move(store);
    unsavedChanges_ = unwritten.has_value();
    recordWritten_ = !unwritten;
    keptBesideSaid_.reset();
    recordKeptBeside_.reset();
    usesFallbackStore_ = loaded.usesFallback;
    publish(AppStateProperty::usesFallbackStore);
    recordProtection_ = selectionStore_->protection();
    publish(AppStateProperty::recordProtection);

    library_ = std::make_unique<PhotoLibrary>(
        std::move(result.photos), unwritten ? restorationFrom(*unwritten) : loaded.restoration(), sortKey_,
        sortAscending_);
    publish(AppStateProperty::library);
    setEditTarget(ParameterEditTarget::global());
    setParameterPage(checkedPage(parameterPage_, editTarget_, currentPhotoIsRaw()));
    setScreen(AppScreen::select);
    recordRecentFolder(opening.folder);

    prefetch();
    loadCurrentExif();
    updateFullResolutionRequest();
    refreshParameterImage();
    scheduleCurrentHistogram();
    scheduleOriginalPreviewPreparation();

    // Each message in turn: the photos left out (which outrank a record started afresh), then
    // what became of the record where changes wait to be combined with it.
    std::vector<std::string> messages;
    double duration = 4.0;
    if (result.unreadableCount > 0) {
        messages.push_back(std::to_string(result.unreadableCount) + "件のファイルを読み込めませんでした");
        duration = 3.0;
    } else if (loaded.warning == SelectionLoadWarning::brokenJSON) {
        messages.push_back("前回の記録が壊れていたため、新しく始めます");
    } else if (loaded.warning == SelectionLoadWarning::unknownVersion) {
        messages.push_back("前回の記録はこのバージョンでは読み込めません");
    }
    if (loaded.warning == SelectionLoadWarning::unreadableNow) {
        messages.push_back("前回の記録を今は読み込めません。読み込めるようになってから、この間の変更を記録に合わせて保存します");
    }
    if (!loaded.keptConflictFiles.empty()) {
        const std::size_t more = loaded.keptConflictFiles.size() - 1;
        messages.push_back("記録に合わせられなかった変更が「" + loaded.keptConflictFiles.front().filename().string() +
                           "」" + (more ? "ほか" + std::to_string(more) + "件" : std::string()) + "にあります");
    } else if (loaded.tookInConflictFiles) {
        messages.push_back("記録と別に保存されていた前回の変更を、記録に合わせました");
    }
    if (selectionStore_->lockless())
        messages.push_back("ロックを作れないため、ほかの Sorvin がこのフォルダを同時に開くのを防げません");
    if (messages.size() > 1) duration = 4.0;
    showToasts(messages, duration);
}

void AppState::openRecentFolder(const std::string& path) {
    checkFolder(path, kRecentFolderCheckWait, [this, path](std::optional<bool> isFolder) {
        if (!isFolder) {
            showToasts({"フォルダが応答しません"}, 3.0);
        } else if (*isFolder) {
            open(path);
        } else {
            showToasts({"フォルダが見つかりません"}, 2.0);
            removeRecentFolder(path);
        }
    });
}

void AppState::recordRecentFolder(const std::filesystem::path& folder) {
    changeRecentFolders([path = FolderScanner::standardized(folder).string()](std::vector<std::string>& folders) {
        std::erase(folders, path);
        folders.insert(folders.begin(), path);
    });
}

void AppState::removeRecentFolder(const std::string& path) {
    changeRecentFolders([path](std::vector<std::string>& folders) { std::erase(folders, path); });
}

void AppState::readRecentFolders() {
    recentFolders_ =
        settings_.defaults().stringArray(PreferenceKey::recentFolders).value_or(std::vector<std::string>{});
    if (recentFolders_.size() > kRecentFolderLimit) recentFolders_.resize(kRecentFolderLimit);
}

void AppState::changeRecentFolders(const std::function<void(std::vector<std::string>&)>& change) {
    settings_.defaults().edit([change](DefaultsStore::Dictionary& values) {
        std::vector<std::string> folders;
        if (const auto stored = values.find(PreferenceKey::recentFolders); stored != values.end())
            folders = stored->second.textList().value_or(std::vector<std::string>{});
        change(folders);
        if (folders.size() > kRecentFolderLimit) folders.resize(kRecentFolderLimit);
        values.insert_or_assign(std::string(PreferenceKey::recentFolders),
                                DefaultsValue::List(folders.begin(), folders.end()));
    });
    readRecentFolders();
    publish(AppStateProperty::recentFolders);
}

} // namespace sorvin
