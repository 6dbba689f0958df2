#include "app/undo_manager.hpp"

#include <utility>

namespace sorvin {

void UndoManager::setLevelsOfUndo(int levels) {
    levels_ = levels < 0 ? 0 : levels;
    const std::size_t before = undoStack_.size() + redoStack_.size();
    trim(undoStack_, levels_);
    trim(redoStack_, levels_);
    if (undoStack_.size() + redoStack_.size() != before) changed.emit();
}

void UndoManager::trim(std::deque<Handler>& stack, int levels) {
    if (levels <= 0) return;
    while (stack.size() > static_cast<std::size_t>(levels))
        stack.pop_front();
}

void UndoManager::registerUndo(Handler handler) {
    if (state_ == State::undoing) {
        redoStack_.push_back(std::move(handler));
        trim(redoStack_, levels_);
    } else {
        // A new edit makes the steps that were undone unreachable, unless it is a redo's inverse.
        if (state_ == State::idle) redoStack_.clear();
        undoStack_.push_back(std::move(handler));
        trim(undoStack_, levels_);
    }
    changed.emit();
}

void UndoManager::run(std::deque<Handler>& from, State state) {
    if (from.empty() || state_ != State::idle) return;
    Handler handler = std::move(from.back());
    from.pop_back();
    state_ = state;
    handler();
    state_ = State::idle;
    changed.emit();
}

void UndoManager::undo() {
    run(undoStack_, State::undoing);
}

void UndoManager::redo() {
    run(redoStack_, State::redoing);
}

void UndoManager::removeAllActions() {
    if (undoStack_.empty() && redoStack_.empty()) return;
    undoStack_.clear();
    redoStack_.clear();
    changed.emit();
}

} // namespace sorvin
