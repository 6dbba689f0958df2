#pragma once

#include "platform/signal.hpp"

#include <cstddef>
#include <deque>
#include <functional>

namespace sorvin {

// The undo and redo stacks of a window. Each registration is one step. A handler registered while
// an undo runs lands on the redo stack, one registered while a redo runs on the undo stack, and any
// other registration clears the redo stack. Main thread only.
class UndoManager {
public:
    using Handler = std::function<void()>;

    UndoManager() = default;
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Emitted whenever either stack changed (the Undo and Redo commands follow it).
    Signal<> changed;

    // 0 keeps every step; otherwise the oldest steps beyond the limit are dropped.
    int levelsOfUndo() const { return levels_; }
    void setLevelsOfUndo(int levels);

    void registerUndo(Handler handler);
    void undo();
    void redo();
    void removeAllActions();

    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }
    std::size_t undoCount() const { return undoStack_.size(); }
    std::size_t redoCount() const { return redoStack_.size(); }
    bool isUndoing() const { return state_ == State::undoing; }
    bool isRedoing() const { return state_ == State::redoing; }

private:
    enum class State { idle, undoing, redoing };
    static void trim(std::deque<Handler>& stack, int levels);
    void run(std::deque<Handler>& from, State state);

    int levels_ = 0;
    State state_ = State::idle;
    std::deque<Handler> undoStack_;
    std::deque<Handler> redoStack_;
};

} // namespace sorvin
