#include "app/undo_manager.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sorvin {
namespace {

// A value edited through the manager: each registration restores the value before the edit and
// registers the inverse when it runs, as the application state does.
struct EditedValue {
    UndoManager& manager;
    int value = 0;

    void set(int newValue) {
        registerRestore(value);
        value = newValue;
    }
    void registerRestore(int old) {
        manager.registerUndo([this, old] {
            registerRestore(value);
            value = old;
        });
    }
};

TEST(UndoManager, UndoAndRedoWalkBackAndForthThroughTheEdits) {
    UndoManager manager;
    EditedValue edited{manager};
    edited.set(1);
    edited.set(2);
    edited.set(3);
    manager.undo();
    manager.undo();
    EXPECT_EQ(edited.value, 1);
    EXPECT_EQ(manager.redoCount(), 2u);
    manager.redo();
    EXPECT_EQ(edited.value, 2);
    EXPECT_EQ(manager.undoCount(), 2u);
    EXPECT_EQ(manager.redoCount(), 1u);
}

TEST(UndoManager, ANewEditDropsWhatWasUndone) {
    UndoManager manager;
    EditedValue edited{manager};
    edited.set(1);
    edited.set(2);
    manager.undo();
    edited.set(5);
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(edited.value, 1);
}

TEST(UndoManager, KeepsOnlyTheNewestStepsWithinItsLevels) {
    UndoManager manager;
    manager.setLevelsOfUndo(3);
    EditedValue edited{manager};
    for (int i = 1; i <= 5; ++i)
        edited.set(i);
    EXPECT_EQ(manager.undoCount(), 3u);
    manager.undo();
    manager.undo();
    manager.undo();
    manager.undo(); // nothing left: the oldest steps were dropped
    EXPECT_EQ(edited.value, 2);
}

TEST(UndoManager, AStepThatRegistersNothingIsUsedUp) {
    UndoManager manager;
    int runs = 0;
    manager.registerUndo([&] { ++runs; });
    manager.undo();
    manager.undo();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(manager.canUndo());
    EXPECT_FALSE(manager.canRedo());
}

TEST(UndoManager, RemovingAllActionsEmptiesBothStacksAndTellsObservers) {
    UndoManager manager;
    EditedValue edited{manager};
    edited.set(1);
    edited.set(2);
    manager.undo();
    int changes = 0;
    auto connection = manager.changed.connect([&] { ++changes; });
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
    EXPECT_FALSE(manager.canRedo());
    EXPECT_EQ(changes, 1);
}

} // namespace
} // namespace sorvin
