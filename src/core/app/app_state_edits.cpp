// Edits of the current photo: rotation and straightening, crop, development parameters, the
// parameter clipboard, random development and presets. Each edit notes what it is about to
// change, asks the library, and only on a reported change registers an undo step, re-renders and
// schedules the histogram and the save.

#include "app/app_state.hpp"
#include "engine/auto_straightener.hpp"
#include "engine/raw_development_cache.hpp"
#include "engine/raw_development_settings.hpp"
#include "engine/raw_development_support_store.hpp"
#include "model/photo_rotation.hpp"
#include "persistence/parameter_preset_command.hpp"

#include <cmath>

namespace sorvin {

bool AppState::editGuard() const {
    return screen_ == AppScreen::select && !isModalExportPresented() && library_ && library_->currentPhoto();
}

AppState::CapturedValues AppState::capture() const {
    return {library_->currentPhoto()->relativePath, library_->currentSlot(), library_->currentSource(),
            editTarget_};
}

void AppState::developmentFollowUp() {
    refreshParameterImage();
    configureCurrentOriginalPreview();
    scheduleOriginalPreviewPreparation();
    scheduleCurrentHistogram();
    scheduleSave();
}

void AppState::geometryFollowUp() {
    rebuildParameterImageForGeometryChange();
    scheduleSave();
    scheduleCurrentHistogram();
}

// Preview images carry the development but not the rotation or crop: a photo without development
// needs no new rendering when only its geometry changes.
void AppState::rebuildParameterImageForGeometryChange() {
    if (!library_) return;
    configureCurrentOriginalPreview();
    scheduleOriginalPreviewPreparation();
    const PhotoParameters parameters = library_->currentParameters();
    if (!parameters.values.isEmpty() || !parameters.masks.empty()) {
        imageLoader_.clearParameterImage();
        refreshParameterImage();
    }
}

// ---- Rotation ----

void AppState::rotationEdited(const CapturedValues& captured, double previousRotation) {
    registerUndoChange(AppUndo::Rotation{captured.path, captured.slot, previousRotation},
                       AppUndoCoalescingKey::rotation(captured.path, captured.slot));
    geometryFollowUp();
}

void AppState::rotateCurrent(double byDegrees) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const double previous = library_->currentRotation();
    if (library_->rotateCurrent(byDegrees).changed) rotationEdited(captured, previous);
}

void AppState::setCurrentRotation(double degrees) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const double previous = library_->currentRotation();
    if (library_->setCurrentRotation(degrees).changed) rotationEdited(captured, previous);
}

void AppState::resetCurrentRotation() {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const double previous = library_->currentRotation();
    if (library_->resetCurrentRotation()) rotationEdited(captured, previous);
}

void AppState::autoStraightenCurrent() {
    if (!editGuard()) return;
    const Photo& photo = *library_->currentPhoto();
    SharedImage image;
    if (library_->currentSource() == PhotoSource::raw) {
        if (auto developed = rawDevelopmentCache_->cachedResult(photo.relativePath)) image = developed->image;
    } else {
        image = imageLoader_.image(photo, library_->currentSource(), false);
    }
    if (!image) return;
    const std::string path = photo.relativePath;
    const RetouchSlot slot = library_->currentSlot();
    const double previous = library_->currentRotation();
    // An earlier analysis still running is not stopped; its result no longer matches the id.
    const std::uint64_t requestID = nextStraighteningRequestID_++;
    straighteningRequestID_ = requestID;
    auto cancelled = std::make_shared<bool>(false);
    straighteningCancelled_ = cancelled;
    MainQueue& mainQueue = mainQueue_;
    const std::weak_ptr<AppState*> weak = self_;
    executor_.run(TaskPriority::userInitiated,
                  [&mainQueue, weak, image, requestID, cancelled, path, slot, previous] {
                      StraighteningAnalysis analysis = AutoStraightener::analyze(*image);
                      mainQueue.post([weak, requestID, cancelled, path, slot, previous, analysis] {
                          auto self = weak.lock();
                          if (!self) return;
                          AppState& state = **self;
                          if (state.straighteningRequestID_ != requestID) return;
                          state.straighteningRequestID_.reset();
                          state.straighteningCancelled_.reset();
                          if (*cancelled) return;
                          state.applyStraightening(path, slot, previous, analysis);
                      });
                  });
}

void AppState::applyStraightening(const std::string& path, RetouchSlot slot, double previousRotation,
                                  const StraighteningAnalysis& analysis) {
    if (!library_ || library_->currentCursor() != RetouchCursor{path, slot} || isModalExportPresented())
        return;
    if (!analysis.correction) {
        showToasts({"傾きを検出できませんでした"}, 1.5);
        return;
    }
    const double correction = *analysis.correction;
    if (library_->applyAutomaticCorrection(correction).changed) {
        registerUndoChange(AppUndo::Rotation{path, slot, previousRotation},
                           AppUndoCoalescingKey::rotation(path, slot));
        geometryFollowUp();
    }
    if (std::abs(correction) < 0.01) {
        showToasts({"傾きは検出されませんでした（すでに水平です）"}, 1.5);
    } else {
        showToasts(
            {"傾きを " + PhotoRotation::displayText(correction, true).value_or("0.0°") + " 補正しました"},
            1.5);
    }
}

void AppState::cancelStraightening() {
    if (straighteningCancelled_) *straighteningCancelled_ = true;
    straighteningCancelled_.reset();
    straighteningRequestID_.reset();
}

// ---- Crop ----

void AppState::cropEdited(const CapturedValues& captured, const ManualCrop& previousCrop) {
    registerUndoChange(AppUndo::Crop{captured.path, captured.slot, previousCrop},
                       AppUndoCoalescingKey::crop(captured.path, captured.slot));
    geometryFollowUp();
}

void AppState::cropEdit(const std::function<std::optional<ManualCrop>(const ManualCrop&, PixelSize)>& make) {
    if (!editGuard()) return;
    const std::optional<PixelSize> size = library_->currentEditSize();
    if (!size) return;
    const CapturedValues captured = capture();
    const ManualCrop previous = library_->currentCrop();
    const std::optional<ManualCrop> crop = make(previous, *size);
    if (!crop) return;
    if (library_->storeCurrentCrop(*crop, previous, captured.path).changed) cropEdited(captured, previous);
}

void AppState::resizeCurrentCrop(int bySteps) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const ManualCrop previous = library_->currentCrop();
    if (library_->resizeCurrentCrop(bySteps).changed) cropEdited(captured, previous);
}

void AppState::moveCurrentCrop(CropDirection direction) {
    cropEdit([direction](const ManualCrop& crop, PixelSize size) {
        return crop.moved(direction, size.width, size.height);
    });
}

void AppState::setCurrentCropAspect(const CropAspect& aspect) {
    cropEdit([&aspect](const ManualCrop& crop, PixelSize size) {
        return crop.changingAspect(aspect, size.width, size.height);
    });
}

void AppState::setCurrentCropSize(int percent) {
    cropEdit([percent](const ManualCrop& crop, PixelSize size) {
        return crop.resized(percent, size.width, size.height);
    });
}

void AppState::setCurrentCropPixelX(int pixel) {
    cropEdit([pixel](const ManualCrop& crop, PixelSize size) {
        return crop.settingPixelX(pixel, size.width, size.height);
    });
}

void AppState::setCurrentCropPixelY(int pixel) {
    cropEdit([pixel](const ManualCrop& crop, PixelSize size) {
        return crop.settingPixelY(pixel, size.width, size.height);
    });
}

void AppState::resetCurrentCrop() {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const ManualCrop previous = library_->currentCrop();
    if (library_->resetCurrentCrop()) cropEdited(captured, previous);
}

// ---- Development parameters ----

void AppState::parameterEdited(const CapturedValues& captured, const PhotoParameters& previous,
                               AppUndoParameterSubject subject, PhotoParameter parameter) {
    registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                       AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                        subject, captured.target));
    if (ParameterCatalog::isGeometryParameter(parameter)) {
        rebuildParameterImageForGeometryChange();
    } else {
        refreshParameterImage();
        configureCurrentOriginalPreview();
        scheduleOriginalPreviewPreparation();
    }
    scheduleCurrentHistogram();
    scheduleSave();
}

void AppState::adjustCurrentParameter(PhotoParameter parameter, int by) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (library_->adjustCurrentParameter(parameter, by, editTarget_).changed)
        parameterEdited(captured, previous, AppUndoParameterSubject::of(parameter), parameter);
}

void AppState::setCurrentParameter(PhotoParameter parameter, int value) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (library_->setCurrentParameter(parameter, value, editTarget_).changed)
        parameterEdited(captured, previous, AppUndoParameterSubject::of(parameter), parameter);
}

void AppState::resetCurrentParameter(PhotoParameter parameter) {
    if (!editGuard()) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (library_->resetCurrentParameter(parameter, editTarget_))
        parameterEdited(captured, previous, AppUndoParameterSubject::of(parameter), parameter);
}

void AppState::selectCurveChannel(PointCurveChannel channel) {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    setParameterPage(ParameterPage::curve(channel));
}

void AppState::performParameterClipboardAction(ParameterClipboardAction action) {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    const ParameterClipboardCommandResult result =
        ParameterClipboardCommand::perform(action, *library_, copiedParameters_);
    switch (result) {
    case ParameterClipboardCommandResult::copied:
        publish(AppStateProperty::copiedParameters);
        showToasts({"調整設定をコピーしました"}, 1.5);
        break;
    case ParameterClipboardCommandResult::nothingCopied:
        showToasts({"コピーした調整設定がありません"}, 1.5);
        break;
    case ParameterClipboardCommandResult::pasted:
        registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                           AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                            AppUndoParameterSubject::all(), captured.target));
        keepEditTargetOnTheMasks();
        developmentFollowUp();
        showToasts({"調整設定を貼り付けました"}, 1.5);
        break;
    case ParameterClipboardCommandResult::unchanged:
        showToasts({"調整設定を貼り付けました"}, 1.5);
        break;
    case ParameterClipboardCommandResult::noPhoto:
        break;
    }
}

bool AppState::randomizeCurrentParameters(RandomGenerator& generator) {
    if (!editGuard()) return false;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    if (!library_->randomizeCurrentParameters(generator).changed) return false;
    // Every random development is a step of its own.
    registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                       std::nullopt);
    refreshParameterImage();
    configureCurrentOriginalPreview();
    scheduleOriginalPreviewPreparation();
    scheduleCurrentHistogram();
    scheduleSave();
    return true;
}

// Asks the image loader for the current photo developed with its parameters.
void AppState::refreshParameterImage() {
    const Photo* photo = library_ ? library_->currentPhoto() : nullptr;
    if (!photo) {
        imageLoader_.discardFullResolutionRaw();
        imageLoader_.clearParameterImage();
        return;
    }
    const PhotoParameters parameters = library_->currentParameters();
    const PhotoSource source = library_->currentSource();
    if (source == PhotoSource::raw) imageLoader_.updateFullResolutionRaw(*photo, parameters, loupeOn_);
    const RetouchSlot slot = library_->currentSlot();
    imageLoader_.requestParameters(*photo, parameters, source, library_->rotation(*photo, slot),
                                   library_->clampedCrop(*photo, slot), preferFullResolution(),
                                   photoAreaLongEdge_, photoAreaBackingScaleFactor_,
                                   library_->zoomState().scale);
    finishSourceTransitionIfReady();
}

// ---- The photo area and the panel's focus ----

void AppState::updatePhotoArea(Size size, double backingScaleFactor) {
    const double longEdge = std::max(size.width, size.height);
    if (!std::isfinite(longEdge) || !(longEdge > 0) || !std::isfinite(backingScaleFactor) ||
        !(backingScaleFactor > 0))
        return;
    if (longEdge == photoAreaLongEdge_ && backingScaleFactor == photoAreaBackingScaleFactor_) return;
    photoAreaLongEdge_ = longEdge;
    photoAreaBackingScaleFactor_ = backingScaleFactor;
    refreshParameterImage();
    prepareNeighbours();
    scheduleOriginalPreviewPreparation();
}

void AppState::setAdjustmentInputFocused(bool focused) {
    adjustmentInputIsFocused_ = focused;
    publish(AppStateProperty::adjustmentInputIsFocused);
    checkCheatSheetAllowed();
    if (focused) endOriginalPreview();
}

bool AppState::currentPhotoIsRaw() const {
    return library_ && library_->currentSource() == PhotoSource::raw;
}

RawDevelopmentSupport AppState::currentRawDevelopmentSupport() const {
    if (!currentPhotoIsRaw() || !library_->currentPhoto()) return {false, false, false, false, false, false};
    return rawDevelopmentSupportStore_->support(library_->currentPhoto()->relativePath)
        .value_or(RawDevelopmentSupport{});
}

std::optional<float> AppState::rawNeutralTemperature(const PhotoParameters& parameters) const {
    if (!currentPhotoIsRaw() || !library_->currentPhoto()) return std::nullopt;
    const auto cached = rawDevelopmentCache_->cachedResult(
        RawDevelopmentCacheKey{library_->currentPhoto()->relativePath, RawDevelopmentSettings(parameters)});
    if (!cached) return std::nullopt;
    return cached->metadata.initialNeutralTemperature *
           std::pow(2.0f, static_cast<float>(parameters[PhotoParameter::raw_temperature]) / 100.0f);
}

// ---- Presets ----

void AppState::refreshStoredPreferences() {
    settings_.defaults().refresh();
    whenPreferencesDone([this](std::optional<std::error_code>) { takeInStoredPresets(); });
}

void AppState::takeInStoredPresets() {
    if (!presetManager_.reload()) return;
    presets_ = presetManager_.presets();
    publish(AppStateProperty::presets);
}

void AppState::whenPreferencesDone(std::function<void(std::optional<std::error_code>)> done) {
    settings_.defaults().whenWritten([weak = std::weak_ptr<AppState*>(self_),
                                      done = std::move(done)](std::optional<std::error_code> error) {
        if (weak.lock()) done(error);
    });
}

void AppState::afterPresetsWritten(std::function<void()> said) {
    whenPreferencesDone([this, said = std::move(said)](std::optional<std::error_code> error) {
        takeInStoredPresets();
        if (error)
            showWriteFailure("プリセット", *error);
        else if (said)
            said();
    });
}

void AppState::presentPresetSave() {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    refreshStoredPreferences();
    setPresetSavePresented(true);
}

void AppState::presentPresetOrganizer() {
    if (!editGuard() || adjustmentInputIsFocused_) return;
    refreshStoredPreferences();
    if (presets_.empty()) return;
    setPresetOrganizerPresented(true);
}

ParameterPresetSaveResult AppState::savePreset(std::string_view name) {
    if (screen_ != AppScreen::select || !isPresetSavePresented_ || !library_ || !library_->currentPhoto())
        return {};
    ParameterPresetSaveResult result = presetManager_.save(name, library_->currentParameters());
    // A list another copy has filled meanwhile is shown, and the sheet stays to say it is full.
    if (presets_ != presetManager_.presets()) {
        presets_ = presetManager_.presets();
        publish(AppStateProperty::presets);
    }
    if (result.kind == ParameterPresetSaveResult::Kind::unavailable) return result;
    setPresetSavePresented(false);
    if (auto toast = result.toast())
        afterPresetsWritten([this, toast = *toast, name = result.name] {
            // Another copy may have filled the list before the file was written.
            if (std::ranges::any_of(presets_,
                                    [&](const ParameterPreset& preset) { return preset.name == name; }))
                showToasts({toast.text}, toast.duration);
            else
                showNotSaved("プリセット「" + name + "」", "プリセットは20個までです");
        });
    return result;
}

bool AppState::applyPreset(int index) {
    if (!editGuard() || adjustmentInputIsFocused_ || index < 0 || index >= static_cast<int>(presets_.size()))
        return false;
    const CapturedValues captured = capture();
    const PhotoParameters previous = library_->currentParameters();
    const auto applied = ParameterPresetCommand::apply(presets_[static_cast<std::size_t>(index)], *library_);
    if (!applied) return false;
    if (applied->adjustment.changed) {
        registerUndoChange(AppUndo::Parameters{captured.path, captured.slot, captured.source, previous},
                           AppUndoCoalescingKey::parameters(captured.path, captured.slot, captured.source,
                                                            AppUndoParameterSubject::all(), captured.target));
        keepEditTargetOnTheMasks();
        developmentFollowUp();
    }
    showToasts({applied->toast.text}, applied->toast.duration);
    return true;
}

ParameterPresetRenameResult AppState::renamePreset(int index, std::string_view name) {
    ParameterPresetRenameResult result = presetManager_.rename(index, name);
    if (result.kind == ParameterPresetRenameResult::Kind::renamed ||
        result.kind == ParameterPresetRenameResult::Kind::unchanged) {
        presets_ = presetManager_.presets();
        publish(AppStateProperty::presets);
        const std::string said = "プリセット名を「" + result.preset->name + "」に変えました";
        if (result.kind == ParameterPresetRenameResult::Kind::unchanged)
            showToasts({said}, 1.5);
        else
            afterPresetsWritten([this, said] { showToasts({said}, 1.5); });
    }
    return result;
}

std::optional<ParameterPresetDeleteResult> AppState::deletePreset(int index) {
    std::optional<ParameterPresetDeleteResult> result = presetManager_.remove(index);
    if (!result) return std::nullopt;
    presets_ = presetManager_.presets();
    publish(AppStateProperty::presets);
    if (presets_.empty()) setPresetOrganizerPresented(false);
    afterPresetsWritten([this, said = "プリセット「" + result->preset.name + "」を削除しました"] {
        showToasts({said}, 1.5);
    });
    return result;
}

std::optional<int> AppState::movePreset(int index, ParameterPresetMoveDirection direction) {
    const std::optional<int> moved = presetManager_.move(index, direction);
    if (!moved) return std::nullopt;
    presets_ = presetManager_.presets();
    publish(AppStateProperty::presets);
    afterPresetsWritten(nullptr);
    return moved;
}

} // namespace sorvin
