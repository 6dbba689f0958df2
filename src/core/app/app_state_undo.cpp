// Undo and redo of every change a user makes to a photo's edit state. Each change is registered
// with the window's undo manager as the value that restores it; applying it registers the inverse.

#include "app/app_state.hpp"

namespace sorvin {

void AppState::setUndoManager(const std::shared_ptr<UndoManager>& manager) {
    const std::shared_ptr<UndoManager> held = undoManager_.lock();
    if (held && held == manager) {
        held->setLevelsOfUndo(kUndoLevels);
        return;
    }
    if (!held && !manager) return;
    undoManager_ = manager;
    if (manager) manager->setLevelsOfUndo(kUndoLevels);
    undoCoalescingState_.reset();
}

void AppState::clearUndoHistory() {
    if (auto manager = undoManager_.lock()) manager->removeAllActions();
    undoCoalescingState_.reset();
}

void AppState::registerUndoChange(const AppUndoChange& change,
                                  const std::optional<AppUndoCoalescingKey>& key) {
    const std::shared_ptr<UndoManager> manager = undoManager_.lock();
    if (!manager) {
        undoCoalescingState_.reset();
        return;
    }
    manager->setLevelsOfUndo(kUndoLevels);
    const double now = undoClock_();
    // The window slides: a run of edits each close to the one before stays one step; the first
    // step of the run already restores the state from before the whole run.
    if (key && undoCoalescingState_ && undoCoalescingState_->key == *key) {
        const double elapsed = now - undoCoalescingState_->lastChangeTime;
        if (elapsed >= 0 && elapsed <= kUndoCoalescingWindow) {
            undoCoalescingState_->lastChangeTime = now;
            return;
        }
    }
    undoCoalescingState_.reset();
    registerWithManager(*manager, change);
    if (key) undoCoalescingState_ = AppUndoCoalescingState{*key, now};
}

void AppState::registerWithManager(UndoManager& manager, const AppUndoChange& change) {
    manager.registerUndo([weak = std::weak_ptr<AppState*>(self_), change] {
        if (auto self = weak.lock()) (*self)->applyUndoChange(change);
    });
}

std::optional<AppUndoChange> AppState::inverseUndoChange(const AppUndoChange& change,
                                                         const PhotoLibrary& library) const {
    auto rowExists = [&library](const std::string& path, RetouchSlot slot) -> const Photo* {
        const Photo* photo = library.photo(path);
        if (!photo || (slot == RetouchSlot::b && !library.retouchStateB(path))) return nullptr;
        return photo;
    };
    return std::visit(
        [&](const auto& c) -> std::optional<AppUndoChange> {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, AppUndo::Parameters>) {
                if (!library.photo(c.path)) return std::nullopt;
                auto current = library.parameters(c.path, c.slot, c.source);
                if (!current) return std::nullopt;
                return AppUndo::Parameters{c.path, c.slot, c.source, *current};
            } else if constexpr (std::is_same_v<C, AppUndo::Rotation>) {
                const Photo* photo = rowExists(c.path, c.slot);
                if (!photo) return std::nullopt;
                return AppUndo::Rotation{c.path, c.slot, library.rotation(*photo, c.slot)};
            } else if constexpr (std::is_same_v<C, AppUndo::Crop>) {
                const Photo* photo = rowExists(c.path, c.slot);
                if (!photo) return std::nullopt;
                return AppUndo::Crop{c.path, c.slot, library.clampedCrop(*photo, c.slot)};
            } else if constexpr (std::is_same_v<C, AppUndo::Heart>) {
                if (!rowExists(c.path, c.slot)) return std::nullopt;
                return c;
            } else if constexpr (std::is_same_v<C, AppUndo::Source>) {
                const Photo* photo = library.photo(c.path);
                if (!photo) return std::nullopt;
                return AppUndo::Source{c.path, c.slot, library.source(*photo, c.slot)};
            } else if constexpr (std::is_same_v<C, AppUndo::RetouchCreated>) {
                if (!library.photo(c.path)) return std::nullopt;
                const RetouchState* state = library.retouchStateB(c.path);
                if (!state) return std::nullopt;
                return AppUndo::RetouchDeleted{c.path, *state};
            } else {
                if (!library.photo(c.path)) return std::nullopt;
                return AppUndo::RetouchCreated{c.path};
            }
        },
        change);
}

void AppState::applyUndoChange(const AppUndoChange& change) {
    undoCoalescingState_.reset();
    const std::shared_ptr<UndoManager> manager = undoManager_.lock();
    if (!manager || !library_) return;
    const std::optional<AppUndoChange> inverse = inverseUndoChange(change, *library_);
    if (!inverse) return;

    // Bring the photo into view first.
    const bool wholePhoto = std::holds_alternative<AppUndo::RetouchCreated>(change) ||
                            std::holds_alternative<AppUndo::RetouchDeleted>(change);
    const std::string path = std::visit([](const auto& c) { return c.path; }, change);
    if (wholePhoto) {
        const Photo* current = library_->currentPhoto();
        if (!current || current->relativePath != path) jump(path, RetouchSlot::a);
    } else {
        const RetouchSlot slot = std::visit(
            [](const auto& c) {
                if constexpr (requires { c.slot; })
                    return c.slot;
                else
                    return RetouchSlot::a;
            },
            change);
        if (library_->currentCursor() != RetouchCursor{path, slot}) jump(path, slot);
    }

    const bool applied = std::visit(
        [&](const auto& c) -> bool {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, AppUndo::Parameters>) {
                if (!library_->setParameters(c.parameters, c.path, c.slot, c.source).changed) return false;
                parameterUndoDidChange(c.path, c.slot);
            } else if constexpr (std::is_same_v<C, AppUndo::Rotation>) {
                if (!library_->setRotation(c.degrees, c.path, c.slot).changed) return false;
                geometryUndoDidChange(c.path);
            } else if constexpr (std::is_same_v<C, AppUndo::Crop>) {
                if (!library_->setCrop(c.crop, c.path, c.slot).changed) return false;
                geometryUndoDidChange(c.path);
            } else if constexpr (std::is_same_v<C, AppUndo::Heart>) {
                if (library_->toggleHeart(c.path, c.slot) == HeartToggleResult::unchanged) return false;
                scheduleSave();
                prefetch();
            } else if constexpr (std::is_same_v<C, AppUndo::Source>) {
                if (library_->currentCursor() == RetouchCursor{c.path, c.slot}) {
                    if (!selectSource(c.source, c.path, c.slot, false, false)) return false;
                } else {
                    const Photo* photo = library_->photo(c.path);
                    if (!photo) return false;
                    if (library_->setSource(c.source, *photo, c.slot).kind !=
                        PhotoSourceChangeResult::Kind::changed)
                        return false;
                    scheduleSave();
                    prefetch();
                }
            } else if constexpr (std::is_same_v<C, AppUndo::RetouchCreated>) {
                const auto before = library_->currentCursor();
                if (!library_->removeRetouchDuplicate(c.path)) return false;
                didJump(before);
                scheduleSave();
            } else {
                const auto before = library_->currentCursor();
                if (!library_->restoreRetouchDuplicate(c.state, c.path, false)) return false;
                library_->jump(c.path, RetouchSlot::b);
                didJump(before);
                scheduleSave();
            }
            return true;
        },
        change);
    // The inverse lands on the redo stack while undoing, on the undo stack while redoing.
    if (applied) registerWithManager(*manager, *inverse);
}

void AppState::parameterUndoDidChange(const std::string& path, RetouchSlot slot) {
    if (library_ && library_->currentCursor() == RetouchCursor{path, slot}) {
        keepEditTargetOnTheMasks();
        redevelopAfterUndo();
    }
    scheduleSave();
}

// The restored state has to be developed afresh, and the original preview follows it.
void AppState::redevelopAfterUndo() {
    imageLoader_.clearParameterImage();
    refreshParameterImage();
    configureCurrentOriginalPreview();
    scheduleOriginalPreviewPreparation();
    scheduleCurrentHistogram();
}

void AppState::geometryUndoDidChange(const std::string& path) {
    if (library_ && library_->currentPhoto() && library_->currentPhoto()->relativePath == path) {
        redevelopAfterUndo();
    }
    scheduleSave();
}

} // namespace sorvin
