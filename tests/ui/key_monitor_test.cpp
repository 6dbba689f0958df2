#include "shell/key_code.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/key_event_monitor.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/photo_canvas_view.hpp"
#include "ui/panel/parameter_key_cap.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/platform/key_translation.hpp"
#include "ui_test_fixture.hpp"

#include <QTest>
#include <functional>

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

TEST_F(KeyMonitorTest, PhotosPassedWithDownHeldAreNotDecodedAtFullSize) {
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "d.jpg");
    addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", "e.jpg");
    openBrowsing();
    const ImageLoader& loader = state().imageLoader();
    // Held at the default 10 steps per second, in ticks of 50 ms with the background work done
    // after each: how long each photo stayed the current one.
    std::vector<std::pair<std::string, int>> shown{{currentPath(), 0}};
    press(&window(), Qt::Key_Down);
    for (int tick = 0; tick < 12; ++tick) {
        if (shown.back().first != currentPath()) shown.push_back({currentPath(), 0});
        queue.advance(0.05);
        settle();
        ++shown.back().second;
    }
    release(&window(), Qt::Key_Down);
    ASSERT_EQ(shown.size(), 5U);
    // Each photo after the first repeat was current for two ticks and passed undecoded.
    for (std::size_t i = 2; i + 1 < shown.size(); ++i) {
        const ImageCacheKey key{shown[i].first, PhotoSource::jpeg};
        EXPECT_EQ(shown[i].second, 2) << shown[i].first;
        EXPECT_FALSE(loader.hasFullResolutionImage(key) || loader.isDecodingFullResolution(key))
            << shown[i].first;
    }
    // Where the walk rests, it is.
    queue.advance(0.2);
    settle();
    EXPECT_TRUE(loader.hasFullResolutionImage({currentPath(), PhotoSource::jpeg}));
}

TEST_F(KeyMonitorTest, ADownStepOntoADevelopedPhotoShowsItsDevelopmentWithNoWorkLeft) {
    openBrowsing();
    // Every photo after the first developed; then back to the first, with time for the work.
    while (state().move(1))
        state().setCurrentParameter(PhotoParameter::exposure, 20);
    state().jumpToStart();
    settle();
    for (int step = 0; step < 2; ++step) {
        press(&window(), Qt::Key_Down);
        release(&window(), Qt::Key_Down);
        // Before any background work runs, the step has published the developed image.
        const ParameterImageSnapshot& shown = state().imageLoader().parameterState();
        EXPECT_TRUE(shown.image && shown.cacheKey && shown.cacheKey->path == currentPath()) << step;
        EXPECT_FALSE(state().imageLoader().isRenderingParameters()) << step;
        settle();
    }
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

// A key that is both a command of the screen and a menu shortcut does its work once: the path of
// a real key (shortcut check, menu shortcuts, then the press itself) through the focused widget.
TEST_F(KeyMonitorTest, KeysThatAreAlsoMenuShortcutsActOnce) {
    openBrowsing();
    activate();
    state().toggleHeart(); // so the hearts filter can come on
    struct Row {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::function<void()> before;
        std::function<bool()> actedOnce;
    };
    AppState& s = state();
    const auto rotation = [&s] { return s.library()->currentRotation(); };
    const auto cropSize = [&s] { return s.library()->currentCrop().sizeP; };
    bool was = false;
    std::size_t waiting = 0;
    const std::vector<Row> rows{
        {"Shift+Down", Qt::Key_Down, Qt::ShiftModifier, [] {},
         [&] { return s.library()->cursorIndex() == 2; }},
        {"Shift+Up", Qt::Key_Up, Qt::ShiftModifier, [] {},
         [&] { return s.library()->cursorIndex() == 0; }},
        {"Right", Qt::Key_Right, Qt::NoModifier, [&] { s.setCurrentRotation(0); },
         [&] { return rotation() == 0.5; }},
        {"Left", Qt::Key_Left, Qt::NoModifier, [&] { s.setCurrentRotation(0); },
         [&] { return rotation() == -0.5; }},
        {"Shift+Right", Qt::Key_Right, Qt::ShiftModifier, [&] { s.setCurrentRotation(0); },
         [&] { return rotation() == 90; }},
        {"Shift+Left", Qt::Key_Left, Qt::ShiftModifier, [&] { s.setCurrentRotation(0); },
         [&] { return rotation() == -90; }},
        {"Shift+R", Qt::Key_R, Qt::ShiftModifier, [&] { s.setCurrentRotation(3); },
         [&] { return rotation() == 0; }},
        {"Ctrl+9", Qt::Key_9, Qt::ControlModifier, [&] { s.setCurrentCropSize(50); },
         [&] { return cropSize() == 49; }},
        {"Ctrl+0", Qt::Key_0, Qt::ControlModifier, [&] { s.setCurrentCropSize(50); },
         [&] { return cropSize() == 51; }},
        {"Shift+=", Qt::Key_Equal, Qt::ShiftModifier, [&] { s.setCurrentCropSize(50); },
         [&] { return cropSize() == 100; }},
        {"Ctrl+F", Qt::Key_F, Qt::ControlModifier, [&] { was = s.library()->isFiltered(); },
         [&] { return s.library()->isFiltered() != was; }},
        {"Ctrl+G", Qt::Key_G, Qt::ControlModifier, [&] { was = s.showGrid(); },
         [&] { return s.showGrid() != was; }},
        {"Ctrl+L", Qt::Key_L, Qt::ControlModifier, [&] { was = s.clippingWarning(); },
         [&] { return s.clippingWarning() != was; }},
        {"Ctrl+B", Qt::Key_B, Qt::ControlModifier, [&] { was = s.rightPanelCollapsed(); },
         [&] { return s.rightPanelCollapsed() != was; }},
        {"Ctrl+J", Qt::Key_J, Qt::ControlModifier, [&] { was = s.sortKey() == PhotoSortKey::name; },
         [&] { return (s.sortKey() == PhotoSortKey::name) != was; }},
        {"Ctrl+U", Qt::Key_U, Qt::ControlModifier, [&] { was = s.sortAscending(); },
         [&] { return s.sortAscending() != was; }},
        {"Shift+T", Qt::Key_T, Qt::ShiftModifier, [&] { waiting = executor.waiting(); },
         [&] { return executor.waiting() == waiting + 1; }},
        {"Ctrl+I", Qt::Key_I, Qt::ControlModifier, [&] {
             queue.advance(1.0); // the EXIF of the photo is read
             settle();
             pasteboard.items.clear();
         },
         [&] { return pasteboard.items.size() == 1; }},
        {"Ctrl+E", Qt::Key_E, Qt::ControlModifier, [] {}, [&] { return s.isExportPresented(); }},
    };
    for (const Row& row : rows) {
        row.before();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window(), row.key, row.modifiers);
        EXPECT_TRUE(row.actedOnce()) << row.name;
    }
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

namespace sorvin::test {
namespace {

// Keys let go in another window never come back here: when another window takes the keyboard,
// the screen forgets the keys held, stops the walk and ends the original shown while Meta was down.
TEST_F(KeyMonitorTest, AnotherWindowTakingTheKeyboardEndsHeldKeysAndTheOriginal) {
    openBrowsing();
    activate();
    SelectView* screen = window().rootView()->selectView();
    const ParameterKeyCap* exposureUp = screen->parameterPanel()->column(0)->increaseCap();
    QWidget other;
    other.resize(200, 100);
    const auto otherWindowTakesTheKeyboard = [&] {
        other.show();
        other.activateWindow();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), &other);
    };

    press(&window(), Qt::Key_Down); // a walk through the photos
    press(&window(), Qt::Key_A);    // and the exposure's key, both held
    QApplication::processEvents();
    ASSERT_TRUE(screen->repeater().heldKeyCode());
    ASSERT_TRUE(exposureUp->keyboardIsPressed());
    const std::string walkedTo = currentPath();
    otherWindowTakesTheKeyboard();
    EXPECT_FALSE(screen->repeater().heldKeyCode());
    EXPECT_FALSE(exposureUp->keyboardIsPressed());
    queue.advance(1.0);
    EXPECT_EQ(currentPath(), walkedTo);

    // The original of the edited photo, prepared a moment after the edit, shown while Meta is held.
    activate();
    queue.advance(0.5);
    settle();
    press(&window(), Qt::Key_Meta);
    QApplication::processEvents();
    const auto* canvas = static_cast<const PhotoCanvasView*>(screen->photoCanvas());
    ASSERT_TRUE(state().imageLoader().isShowingOriginalPreview());
    ASSERT_TRUE(canvas->model().showsOriginalIndicator);
    otherWindowTakesTheKeyboard();
    EXPECT_FALSE(state().showingOriginal());
    EXPECT_FALSE(state().imageLoader().isShowingOriginalPreview());
    settle();
    QApplication::processEvents();
    EXPECT_FALSE(canvas->model().showsOriginalIndicator);
    const SharedImage& developed = state().imageLoader().parameterState().image;
    EXPECT_TRUE(developed && canvas->model().displayImage == developed);
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// A key event as the window system delivers it, with the physical key's scan code.
void sendKey(QWidget* target, QEvent::Type type, int key, quint32 scanCode,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false) {
    static quint64 clock = 1u << 20;
    QKeyEvent event(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
    event.setTimestamp(type == QEvent::KeyPress ? ++clock : clock);
    QApplication::sendEvent(target, &event);
}

// Super held alone opens the desktop's overview on GNOME and Plasma: the backslash key, and on a
// Japanese keyboard its ろ and ¥ keys, hold the original as Meta does. The system's repeat changes
// nothing, another modifier hides it while it is down, and letting go ends it.
TEST_F(KeyMonitorTest, TheBackslashKeyHoldsTheOriginalAsMetaDoes) {
    openBrowsing();
    activate();
    const auto* canvas =
        static_cast<const PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
    const auto shown = [&] {
        QApplication::processEvents();
        return state().showingOriginal() && canvas->model().showsOriginalIndicator;
    };
    struct Key {
        const char* name;
        int qtKey;
        quint32 scanCode; // X11 and Wayland: evdev + 8
    };
    for (const Key key : {Key{"\\ (ANSI)", Qt::Key_Backslash, 51}, Key{"ろ (JIS)", Qt::Key_Backslash, 97},
                          Key{"¥ (JIS)", Qt::Key_yen, 132}, Key{"no scan code", Qt::Key_Backslash, 0}}) {
        sendKey(&window(), QEvent::KeyPress, key.qtKey, key.scanCode);
        EXPECT_TRUE(shown()) << key.name;
        sendKey(&window(), QEvent::KeyRelease, key.qtKey, key.scanCode, Qt::NoModifier, true);
        sendKey(&window(), QEvent::KeyPress, key.qtKey, key.scanCode, Qt::NoModifier, true);
        EXPECT_TRUE(shown()) << key.name << ": repeated";
        press(&window(), Qt::Key_Shift);
        EXPECT_FALSE(shown()) << key.name << ": with Shift";
        release(&window(), Qt::Key_Shift, Qt::ShiftModifier);
        EXPECT_TRUE(shown()) << key.name << ": Shift let go";
        sendKey(&window(), QEvent::KeyRelease, key.qtKey, key.scanCode);
        queue.advance(KeyEventMonitor::repeatInterval()); // no press came to make it a repeat
        EXPECT_FALSE(shown()) << key.name << ": let go";
    }
    // Meta still does it.
    press(&window(), Qt::Key_Meta);
    EXPECT_TRUE(shown());
    release(&window(), Qt::Key_Meta, Qt::MetaModifier);
    EXPECT_FALSE(shown());
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// X11 often reports a repeat of a held key as a plain release followed at once by a plain press.
// Such a pair within the repeat interval is a repeat: the key stays held.
class X11RepeatPairTest : public KeyMonitorTest {
protected:
    static constexpr quint32 backslash = 43 + 8; // evdev + 8, as X11 numbers its keys
    static constexpr quint32 down = 108 + 8;

    void repeatPair(int qtKey, quint32 scanCode) {
        sendKey(&window(), QEvent::KeyRelease, qtKey, scanCode);
        sendKey(&window(), QEvent::KeyPress, qtKey, scanCode);
    }
    bool showsOriginal() {
        QApplication::processEvents();
        const auto* canvas =
            static_cast<const PhotoCanvasView*>(window().rootView()->selectView()->photoCanvas());
        return state().showingOriginal() && canvas->model().showsOriginalIndicator;
    }
};

// Held over many repeats, the original never gives way to the edited photo, not even between the
// release and the press of a pair, and no work is started again; the last release ends it once
// the repeat interval has passed without a press.
TEST_F(X11RepeatPairTest, TheOriginalStaysWhileTheBackslashKeyIsHeld) {
    openBrowsing();
    activate();
    queue.advance(1.0); // what follows the opening, done
    settle();
    const double interval = KeyEventMonitor::repeatInterval();
    sendKey(&window(), QEvent::KeyPress, Qt::Key_Backslash, backslash);
    ASSERT_TRUE(showsOriginal());
    const std::size_t started = executor.started();
    int switches = 0; // of the original on or off
    const auto watching = state().changed.connect([&](AppStateProperty property) {
        if (property == AppStateProperty::showingOriginal) ++switches;
    });
    for (int repeat = 0; repeat < 20; ++repeat) {
        queue.advance(interval * 0.9);
        sendKey(&window(), QEvent::KeyRelease, Qt::Key_Backslash, backslash);
        EXPECT_TRUE(showsOriginal()) << repeat << ": between release and press";
        sendKey(&window(), QEvent::KeyPress, Qt::Key_Backslash, backslash);
        EXPECT_TRUE(showsOriginal()) << repeat;
    }
    EXPECT_EQ(switches, 0) << "not even for a moment";
    EXPECT_EQ(executor.started(), started) << "the repeats started no work";

    sendKey(&window(), QEvent::KeyRelease, Qt::Key_Backslash, backslash);
    queue.advance(interval * 0.9);
    EXPECT_TRUE(showsOriginal());
    queue.advance(interval * 0.2);
    EXPECT_FALSE(showsOriginal()) << "let go";
    // A press after the interval is a new one.
    sendKey(&window(), QEvent::KeyPress, Qt::Key_Backslash, backslash);
    EXPECT_TRUE(showsOriginal());
    // Another key lets a waiting release through first: the original ends before Down walks.
    sendKey(&window(), QEvent::KeyRelease, Qt::Key_Backslash, backslash);
    const std::string before = currentPath();
    sendKey(&window(), QEvent::KeyPress, Qt::Key_Down, down);
    EXPECT_FALSE(state().showingOriginal());
    EXPECT_NE(currentPath(), before);
    sendKey(&window(), QEvent::KeyRelease, Qt::Key_Down, down);
}

// Down held for a second walks as many photos with X11's pairs as with marked repeats: the pace of
// the hold, not one photo per pair.
TEST_F(X11RepeatPairTest, HeldDownKeepsItsPaceThroughRepeatPairs) {
    for (int i = 0; i < 12; ++i)
        addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "walk" + std::to_string(10 + i) + ".jpg");
    openBrowsing();
    activate();
    const double interval = KeyEventMonitor::repeatInterval();
    const auto walked = [&](bool pairs) {
        state().jumpToStart();
        settle();
        const int from = state().library()->cursorIndex();
        sendKey(&window(), QEvent::KeyPress, Qt::Key_Down, down);
        for (double held = interval; held < 1.0; held += interval) {
            queue.advance(interval);
            if (pairs)
                repeatPair(Qt::Key_Down, down);
            else
                sendKey(&window(), QEvent::KeyPress, Qt::Key_Down, down, Qt::NoModifier, true);
        }
        sendKey(&window(), QEvent::KeyRelease, Qt::Key_Down, down);
        queue.advance(1.0);
        EXPECT_FALSE(window().rootView()->selectView()->repeater().heldKeyCode());
        return state().library()->cursorIndex() - from;
    };
    const int paced = walked(false);
    // One step at the press, then from 0.25 s on ten a second.
    EXPECT_EQ(paced, 1 + 8);
    EXPECT_EQ(walked(true), paced);
}

} // namespace
} // namespace sorvin::test
