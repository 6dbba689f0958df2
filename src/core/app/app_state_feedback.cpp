// Messages, the heart overlay and saving of the open folder's record.

#include "app/app_state.hpp"
#include "export/export_error.hpp"
#include "persistence/selection_record_photos.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <system_error>
#include <utility>

namespace sorvin {

void AppState::setToast(std::optional<std::string> text, bool visible) {
    toastText_ = std::move(text);
    toastIsVisible_ = visible;
    publish(AppStateProperty::toast);
}

void AppState::showToasts(const std::vector<std::string>& messages, double duration) {
    if (messages.empty()) return;
    // A duration that is not a finite, non-negative number of seconds shows the message briefly.
    if (!std::isfinite(duration) || duration < 0) duration = 0;
    toastTimer_.cancel();
    // The rest of a running sequence goes; a message said after whatever shows waits on.
    std::deque<WaitingToast> waiting;
    for (auto message = messages.begin() + 1; message != messages.end(); ++message)
        waiting.push_back({*message, duration, false});
    for (WaitingToast& toast : waitingToasts_)
        if (toast.follows && toast.text != messages.front()) waiting.push_back(std::move(toast));
    waitingToasts_ = std::move(waiting);
    showToast(messages.front(), duration);
}

void AppState::showToastAfterCurrent(std::string message, double duration) {
    const bool waitingLast = !waitingToasts_.empty() && waitingToasts_.back().text == message;
    if (!toastIsVisible_ || (toastText_ == message && waitingToasts_.empty())) {
        showToasts({std::move(message)}, duration);
    } else if (toastText_ != message && !waitingLast) {
        waitingToasts_.push_back({std::move(message), duration, true});
    }
}

// Each step replaces the timer, so a newer sequence cancels the whole rest of this one.
void AppState::showToast(std::string message, double duration) {
    setToast(std::move(message), true);
    const auto timeIsUp = [this] {
        if (!waitingToasts_.empty()) {
            WaitingToast next = std::move(waitingToasts_.front());
            waitingToasts_.pop_front();
            showToast(std::move(next.text), next.duration);
            return;
        }
        setToast(toastText_, false);
        toastTimer_ = mainQueue_.postAfter(kToastFade, weakly([this] { setToast(std::nullopt, false); }));
    };
    toastTimer_ = mainQueue_.postAfter(duration, weakly(timeIsUp));
}

void AppState::showHeartFeedback(HeartFeedbackKind kind) {
    heartFeedbackTimer_.cancel();
    heartFeedback_ = HeartFeedbackPresentation{nextHeartFeedbackID_++, kind};
    heartFeedbackIsVisible_ = true;
    publish(AppStateProperty::heartFeedback);
    heartFeedbackTimer_ = mainQueue_.postAfter(kHeartShown, weakly([this] {
                                                   heartFeedbackIsVisible_ = false;
                                                   publish(AppStateProperty::heartFeedback);
                                                   heartFeedbackTimer_ = mainQueue_.postAfter(
                                                       kHeartFade, weakly([this] {
                                                           heartFeedback_.reset();
                                                           publish(AppStateProperty::heartFeedback);
                                                       }));
                                               }));
}

// A burst of changes is written once, half a second after the last; changes that never pause are
// written at the latest two seconds after the first of them.
void AppState::scheduleSave() {
    unsavedChanges_ = true;
    saveTimer_.cancel();
    saveTimer_ = postSave(kSaveDelay, false);
    if (!saveDeadlineTimer_) saveDeadlineTimer_ = postSave(kSaveDeadline, true);
}

// A save that falls due in the frame after a change of photo waits for the frame to end: written
// between a step of a held key and the paint of its photo, it would hold the photo back by as long
// as the write and its fsyncs take (on a busy machine such a step was painted 25 ms late). A step
// that follows re-arms the debounce as any change does, but not the deadline.
MainQueue::Timer AppState::postSave(double delay, bool deadline) {
    return mainQueue_.postAfter(delay, weakly([this, deadline] { saveOutsideAPhotosFirstFrame(deadline); }));
}

void AppState::saveOutsideAPhotosFirstFrame(bool deadline) {
    const double wait = photoChangedAt_ + kSaveAfterPhotoChange - mainQueue_.now();
    if (wait <= 0) {
        saveNow();
        return;
    }
    (deadline ? *saveDeadlineTimer_ : saveTimer_) = postSave(wait, deadline);
}

// The main thread only copies the library's tables; the record is built and written in the
// background (a large folder's record took over a second). What was handed to a save is not
// handed again (quitting after a save would write the same record twice). What the disk refused
// of folders left since goes first, each folder's saves in the order they were asked for.
void AppState::saveNow() {
    saveTimer_.cancel();
    saveTimer_ = {};
    if (saveDeadlineTimer_) saveDeadlineTimer_->cancel();
    saveDeadlineTimer_.reset();
    const auto now = std::chrono::system_clock::now();
    for (UnwrittenRecord& record : std::exchange(unwrittenRecords_, {}))
        saver_.save(std::move(record.store), std::move(record.values), now);
    if (!selectionStore_ || !library_ || !unsavedChanges_) return;
    unsavedChanges_ = false;
    saver_.save(selectionStore_, SelectionSaveValues::of(*library_), now);
}

void AppState::finishSaving(std::function<void(RecordSaving)> then) {
    resetCommandCheatSheetTracking();
    saveNow();
    struct Wait {
        std::function<void(RecordSaving)> then;
        MainQueue::Timer limit;
    };
    auto wait = std::make_shared<Wait>(Wait{std::move(then), {}});
    const auto answer = [wait](RecordSaving saving) {
        wait->limit.cancel();
        if (auto told = std::exchange(wait->then, nullptr)) told(saving);
    };
    if (saver_.isSaving())
        wait->limit = mainQueue_.postAfter(kFinishSavingWait, [answer] { answer(RecordSaving::stillWriting); });
    whenSavesEnd(answer);
}

void AppState::whenSavesEnd(std::function<void(RecordSaving)> then) {
    if (saver_.isSaving())
        whenEverythingSaved(std::move(then));
    else
        then(recordSaving());
}

void AppState::whenEverythingSaved(std::function<void(RecordSaving)> answer) {
    saver_.whenSaved(nullptr, weakly([this, answer = std::move(answer)] {
                         if (!aSaveFailed()) saveNow();
                         if (!aSaveFailed() && saver_.isSaving()) {
                             whenEverythingSaved(answer);
                             return;
                         }
                         answer(recordSaving());
                     }));
}

bool AppState::aSaveFailed() const {
    return !recordWritten_ || !unwrittenRecords_.empty();
}

RecordSaving AppState::recordSaving() const {
    if (aSaveFailed() || unsavedChanges_) return RecordSaving::failed;
    return recordKeptBeside_ ? RecordSaving::keptBeside : RecordSaving::written;
}

// Only the photos that are still as they were handed to the save take the values from elsewhere:
// one changed here since keeps its new values, which the next save writes.
void AppState::takeCombination(const SelectionCombination& combination) {
    if (!library_) return;
    const SelectionRecord now = SelectionStore::recordOf(SelectionSaveValues::of(*library_), {});
    std::vector<std::string> paths;
    for (const std::string& path : combination.paths)
        if (SelectionRecordPhotos::of(now, path) == SelectionRecordPhotos::of(combination.handed, path))
            paths.push_back(path);
    const SelectionLoadResult values = SelectionLoadResult::of(combination.written);
    if (!library_->takeRecordedValues(paths, values.restoration())) return;
    const Photo* current = library_->currentPhoto();
    if (current && std::find(paths.begin(), paths.end(), current->relativePath) != paths.end()) {
        refreshParameterImage();
        scheduleCurrentHistogram();
    }
}

namespace {

std::string notSavedText(std::string_view what, const std::string& reason) {
    return std::string(what) + "を保存できませんでした（" + reason + "）";
}

// The folder as its record's message names it: its own name, or the whole path for the root.
std::string folderName(const std::filesystem::path& folder) {
    const std::string name = folder.filename().string();
    return name.empty() ? folder.string() : name;
}

} // namespace

// Only the open folder's own save tells where its record is and whether it is protected.
void AppState::saveEnded(const SelectionSaver::Result& result) {
    const bool open = result.store == selectionStore_;
    if (open) {
        recordWritten_ = !result.error;
        if (result.protection != recordProtection_) {
            recordProtection_ = result.protection;
            publish(AppStateProperty::recordProtection);
        }
    }
    if (!result.error) {
        if (open) recordKeptBeside_ = result.keptBeside;
        if (result.keptBeside && result.keptBeside != keptBesideSaid_) {
            keptBesideSaid_ = result.keptBeside;
            const std::string why = result.diversion == SelectionDiversion::unreadable
                                        ? "記録を今は読み込めないため"
                                        : "記録がほかで書き換えられ続けているため";
            showToasts({why + "、変更は「" + result.keptBeside->filename().string() +
                        "」に保存しました。次に開くときに記録に合わせます"},
                       4.0);
        } else if (open && result.combination) {
            showToasts({"記録がほかで書き換えられていたため、両方の変更を合わせて保存しました"}, 4.0);
        }
        if (open && result.combination) takeCombination(*result.combination);
        if (open && *result.usesFallback != usesFallbackStore_) {
            usesFallbackStore_ = *result.usesFallback;
            publish(AppStateProperty::usesFallbackStore);
        }
        return;
    }
    // A record this program must not write over: the browsing screen says so for as long as the
    // folder is open, and saving again changes nothing.
    if (result.protection) return;
    recordNotWritten(result);
}

// The next save tries again, also one at quitting with nothing changed since: the open folder's
// from its library, a folder left since from the values the failed save had, unless a newer save
// of it is on its way.
void AppState::recordNotWritten(const SelectionSaver::Result& result) {
    const std::filesystem::path& folder = result.store->sourceFolder();
    const bool open = result.store == selectionStore_;
    if (open)
        unsavedChanges_ = true;
    else if (result.unwritten && !saver_.isSaving(result.store.get()))
        unwrittenRecords_.push_back({result.store, *result.unwritten});
    std::string reason = "予期しないエラーが起きました";
    try {
        std::rethrow_exception(result.error);
    } catch (const std::exception& error) {
        reason = ExportError::describe(error);
    } catch (...) {
    }
    std::string message = notSavedText("「" + folderName(folder) + "」の記録", reason);
    // The folder open now keeps the message it opened with.
    if (open)
        showToasts({std::move(message)}, kWriteFailureToast);
    else
        showToastAfterCurrent(std::move(message), kWriteFailureToast);
}

std::optional<SelectionSaveValues> AppState::takeUnwrittenRecord(const SelectionStore& folder) {
    const auto found =
        std::find_if(unwrittenRecords_.begin(), unwrittenRecords_.end(),
                     [&](const UnwrittenRecord& record) { return record.store->isOf(folder); });
    if (found == unwrittenRecords_.end()) return std::nullopt;
    SelectionSaveValues values = std::move(found->values);
    unwrittenRecords_.erase(found);
    return values;
}

void AppState::showWriteFailure(std::string_view what, std::error_code error) {
    showNotSaved(what, ExportError::failureReason(error));
}

void AppState::showNotSaved(std::string_view what, const std::string& reason) {
    unsaidPreferencesFailure_.reset();
    showToasts({notSavedText(what, reason)}, kWriteFailureToast);
}

void AppState::preferencesNotWritten(std::error_code error) {
    const bool posted = unsaidPreferencesFailure_.has_value();
    unsaidPreferencesFailure_ = error;
    if (posted) return;
    mainQueue_.post(weakly([this] {
        if (const auto unsaid = std::exchange(unsaidPreferencesFailure_, std::nullopt))
            showToastAfterCurrent(notSavedText("設定", ExportError::failureReason(*unsaid)),
                                  kWriteFailureToast);
    }));
}

} // namespace sorvin
