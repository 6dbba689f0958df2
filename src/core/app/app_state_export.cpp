// The two ways to export: the batch export sheet, and the current photo alone through a save panel.

#include "app/app_state.hpp"
#include "export/single_export_file_name.hpp"
#include "persistence/preference_key.hpp"

namespace sorvin {

void AppState::presentExport() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_) return;
    endOriginalPreview();
    refreshStoredPreferences();
    setExportPresented(true);
}

void AppState::openExportDestination(const std::filesystem::path& folder) {
    const std::weak_ptr<AppState*> weak = self_;
    const auto answered = [weak](bool shown) {
        if (auto self = weak.lock(); self && !shown) (*self)->showToasts({"書き出し先を開けませんでした"}, 3.0);
    };
    if (folderOpener_)
        folderOpener_->open(folder, answered);
    else
        answered(false);
}

void AppState::presentCurrentPhotoExport() {
    if (screen_ != AppScreen::select || isModalExportPresented() || isSingleExportInProgress_ ||
        adjustmentInputIsFocused_ || !library_ || !library_->currentPhoto() || !sourceFolder_ ||
        !singleExportPanel_)
        return;
    // The request is fixed now: edits made while the file is written do not change it.
    const Photo& photo = *library_->currentPhoto();
    const RetouchSlot slot = library_->currentSlot();
    SinglePhotoExport::Request request{photo,
                                       library_->rotation(photo, slot),
                                       library_->clampedCrop(photo, slot),
                                       library_->currentParameters(),
                                       library_->currentSource(),
                                       *sourceFolder_,
                                       {},
                                       settings_.singleExportFormat()};

    SingleExportPanelOptions options;
    options.format = request.format;
    options.proposedName = SingleExportFileName::initialName(photo, request.format, slot);
    DefaultsStore& defaults = settings_.defaults();
    if (auto folder = defaults.string(PreferenceKey::lastSingleExportFolder))
        options.startFolder = *folder;
    else if (auto exportFolder = defaults.string(PreferenceKey::lastExportFolder))
        options.startFolder = *exportFolder;

    endOriginalPreview();
    setSingleExportPanelPresented(true);
    const std::weak_ptr<AppState*> weak = self_;
    singleExportPanel_->present(
        options,
        [weak](SingleExportFormat format) {
            if (auto self = weak.lock())
                (*self)->settings_.defaults().set(PreferenceKey::singleExportFormat,
                                                  std::string(rawValue(format)));
        },
        [weak, request = std::move(request)](std::optional<std::filesystem::path> file,
                                             SingleExportFormat format) {
            if (auto self = weak.lock()) (*self)->singleExportPanelClosed(request, std::move(file), format);
        });
}

void AppState::singleExportPanelClosed(SinglePhotoExport::Request request,
                                       std::optional<std::filesystem::path> file, SingleExportFormat format) {
    setSingleExportPanelPresented(false);
    if (!file) return;
    const auto chosen = SingleExportFileName::chosenFile(*file, format);
    if (!chosen) {
        if (alerts_)
            alerts_->showWarning("書き出しに失敗しました",
                                 std::string(SingleExportFileName::emptyNameMessage));
        return;
    }
    request.format = chosen->format;
    request.destination = chosen->file;
    isSingleExportInProgress_ = true;
    publish(AppStateProperty::isSingleExportInProgress);

    MainQueue& mainQueue = mainQueue_;
    const std::weak_ptr<AppState*> weak = self_;
    executor_.run(TaskPriority::userInitiated, [&mainQueue, weak, request = std::move(request),
                                                render = renderer_] {
        std::optional<std::string> failure = SinglePhotoExport::run(request, render);
        mainQueue.post([weak, destination = request.destination, failure = std::move(failure)] {
            auto self = weak.lock();
            if (!self) return;
            AppState& state = **self;
            state.isSingleExportInProgress_ = false;
            state.publish(AppStateProperty::isSingleExportInProgress);
            if (failure) {
                if (state.alerts_) state.alerts_->showWarning("書き出しに失敗しました", *failure);
                return;
            }
            state.settings_.defaults().set(PreferenceKey::lastSingleExportFolder,
                                           FolderScanner::standardized(destination.parent_path()).string());
            state.showToasts({"書き出しました: " + destination.filename().string()}, 2.0);
        });
    });
}

} // namespace sorvin
