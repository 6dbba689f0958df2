#include "shell/key_code.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/platform/key_translation.hpp"
#include "ui_test_fixture.hpp"

namespace sorvin::test {
namespace {

class KeyMonitorTest : public MainWindowTest {
protected:
    void openBrowsing() {
        addStandardPhotos();
        window().show();
        openPhotos();
        ASSERT_TRUE(window().rootView()->selectView()->isVisible());
    }
    bool hearted() { return state().library()->containsHeart(currentPath(), RetouchSlot::a); }
};

TEST_F(KeyMonitorTest, SpaceReachesTheDispatcherOnceAndIsWithheldFromTheWindow) {
    openBrowsing();
    // Taken at the shortcut check: the heart toggles once, and the same press arriving again
    // (checked again, then delivered) is swallowed.
    press(&window(), Qt::Key_Space);
    EXPECT_TRUE(hearted());
    QKeyEvent check(QEvent::ShortcutOverride, Qt::Key_Space, Qt::NoModifier);
    check.setTimestamp(1000);
    QKeyEvent delivered(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    delivered.setTimestamp(1000);
    EXPECT_TRUE(QApplication::sendEvent(&window(), &check));
    EXPECT_FALSE(hearted());
    EXPECT_TRUE(QApplication::sendEvent(&window(), &delivered));
    EXPECT_FALSE(hearted());
    // The next press is a new one.
    press(&window(), Qt::Key_Space);
    EXPECT_TRUE(hearted());
}

TEST_F(KeyMonitorTest, HeldDownArrowWalksAndItsReleaseStops) {
    openBrowsing();
    const std::string first = currentPath();
    press(&window(), Qt::Key_Down);
    const std::string second = currentPath();
    EXPECT_NE(second, first);
    press(&window(), Qt::Key_Down, Qt::NoModifier, true); // the system's repeat is swallowed
    EXPECT_EQ(currentPath(), second);
    release(&window(), Qt::Key_Down);
    queue.advance(1.0);
    EXPECT_EQ(currentPath(), second);
    EXPECT_FALSE(window().rootView()->selectView()->repeater().heldKeyCode());
}

TEST_F(KeyMonitorTest, ASheetComingUpStopsTheWalk) {
    openBrowsing();
    press(&window(), Qt::Key_Down);
    const std::string second = currentPath();
    state().setExportPresented(true);
    queue.advance(1.0);
    EXPECT_EQ(currentPath(), second);
    EXPECT_FALSE(window().rootView()->selectView()->repeater().heldKeyCode());
}

TEST_F(KeyMonitorTest, AModifierPressStopsTheWalkAndMetaNeverTriggersCommands) {
    openBrowsing();
    press(&window(), Qt::Key_Down);
    const std::string second = currentPath();
    press(&window(), Qt::Key_Shift, Qt::NoModifier);
    queue.advance(1.0);
    EXPECT_EQ(currentPath(), second);
    press(&window(), Qt::Key_Space, Qt::MetaModifier);
    EXPECT_FALSE(hearted());
}

TEST_F(KeyMonitorTest, KeysOfOtherWindowsPassUntouched) {
    openBrowsing();
    QWidget dialog;
    dialog.show();
    press(&dialog, Qt::Key_Space);
    EXPECT_FALSE(hearted());
    press(&window(), Qt::Key_Space);
    EXPECT_TRUE(hearted());
}

TEST_F(KeyMonitorTest, TheMonitorListensOnlyWhileTheBrowsingScreenIsShown) {
    addStandardPhotos();
    window().show();
    openPhotos();
    state().cancelLoading();
    ASSERT_EQ(state().screen(), AppScreen::home);
    EXPECT_FALSE(window().rootView()->selectView()->isVisible());
    // Back home Space belongs to whatever has the keyboard: no heart changes.
    const bool before = state().library() && hearted();
    press(&window(), Qt::Key_Space);
    EXPECT_EQ(state().library() && hearted(), before);
}

TEST(KeyTranslation, PhysicalKeyDecidesAndQtKeyIsTheFallback) {
    // Scan code of the key left of S (evdev 30) under X11: A, whatever the layout calls it.
    EXPECT_EQ(KeyTranslation::keyCode(30 + 8, Qt::Key_Q), KeyCode::a);
    EXPECT_EQ(KeyTranslation::keyCode(14 + 8, Qt::Key_Backspace), KeyCode::deleteKey);
    EXPECT_EQ(KeyTranslation::keyCode(108 + 8, Qt::Key_Down), KeyCode::down);
    EXPECT_EQ(KeyTranslation::keyCode(0, Qt::Key_Comma), KeyCode::comma);
    EXPECT_EQ(KeyTranslation::keyCode(0, Qt::Key_Plus), KeyCode::equal);
    EXPECT_EQ(KeyTranslation::keyCode(0, Qt::Key_5), KeyCode::digit5);
    EXPECT_FALSE(KeyTranslation::keyCode(0, Qt::Key_F5));
    using M = AdjustmentKeyModifiers;
    EXPECT_EQ(KeyTranslation::modifiers(Qt::ControlModifier | Qt::KeypadModifier), M{M::command});
    EXPECT_EQ(KeyTranslation::modifiers(Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier),
              (M{M::option, M::control, M::shift}));
}

} // namespace
} // namespace sorvin::test
