#include "export/export_error.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/parameter_preset_manager.hpp"
#include "persistence/preference_key.hpp"
#include "persistence/selection_store.hpp"
#include "shell/quit_confirmation.hpp"
#include "support/failing_writes.hpp"
#include "ui/app/menu_bar.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/command_cheat_sheet_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <fstream>

namespace sorvin::test {
namespace {

class MainWindowMenuTest : public MainWindowTest {
protected:
    QAction* action(MenuCommand command) { return window().menus()->action(command); }

    // A window whose settings are kept in the preferences file of the test's folders, as the
    // program keeps them.
    struct FileSession {
        explicit FileSession(MainWindowMenuTest& test)
            : defaults(test.root / "config" / "preferences.json"), settings(defaults, std::uint64_t{1} << 35),
              state(settings, test.environment()), window(state, delegate, test.queue) {}
        DefaultsStore defaults;
        AppSettings settings;
        AppState state;
        AppDelegate delegate{nullptr};
        MainWindow window;
    };
    // Such a window, shown and active, with the standard photos open.
    std::unique_ptr<FileSession> openOnPreferencesFile() {
        addStandardPhotos();
        auto session = std::make_unique<FileSession>(*this);
        session->window.show();
        session->state.open(photos());
        settle();
        session->window.activateWindow();
        QApplication::processEvents();
        return session;
    }
};

// What the quit alert showed, read the moment it came up, and whether the heart was on disk then.
struct QuitAlertSeen {
    QString message;
    QString informative;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool heartOnDisk = false;
};

class QuitTest : public MainWindowMenuTest {
protected:
    // Hearts the first photo and chooses the menu's quit; the user answers the alert with Esc.
    QuitAlertSeen heartAndQuit() {
        addStandardPhotos();
        window().show();
        openPhotos();
        state().toggleHeart();
        QuitAlertSeen seen;
        // The window turns its event loop while it waits for the save, written meanwhile.
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!alert) {
                settle();
                return;
            }
            turn.stop();
            seen = {alert->text(), alert->informativeText(),
                    alert->defaultButton() ? alert->defaultButton()->text() : QString(), alert->icon(),
                    SelectionStore(photos(), root / "support", root / "legacy-support").load().hearts.contains("a.jpg")};
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(alert, &escape);
        });
        turn.start(0);
        action(MenuCommand::quit)->trigger();
        return seen;
    }
};

TEST_F(QuitTest, TheAlertComesAfterTheRecordIsWritten) {
    const QuitAlertSeen seen = heartAndQuit();
    EXPECT_EQ(seen.message, QStringLiteral("Sorvinを終了しますか？"));
    EXPECT_EQ(seen.informative, QStringLiteral("ハートや現像設定は保存済みです。"));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("終了"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_TRUE(seen.heartOnDisk);
    EXPECT_TRUE(window().isVisible()) << "Esc keeps the program running";
}

TEST_F(QuitTest, ARecordThatCouldNotBeWrittenIsSaidAndCancelIsTheDefault) {
    // A record of a newer version in the folder is never overwritten.
    std::ofstream(photos() / "sorvin.json") << R"({"version": 3, "app": "Sorvin", "updatedAt": "t"})";
    const QuitAlertSeen seen = heartAndQuit();
    EXPECT_EQ(seen.informative,
              QStringLiteral("ハートや現像設定を保存できませんでした。終了すると、保存されていない変更は失われます。"));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("キャンセル"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

// The window's close button quits. What is not on disk yet is written first; only when that
// fails does the quit alert come, and its Cancel keeps the window.
class CloseTest : public MainWindowMenuTest {
protected:
    void SetUp() override {
        delegate().confirmQuit = [this](QWidget*, const QuitConfirmation& confirmation) {
            asked.push_back(confirmation);
            return quitAnyway;
        };
        addStandardPhotos();
        window().show();
        openPhotos();
        state().toggleHeart();
        // A close waits for the save with the event loop turning; the save is written meanwhile.
        QObject::connect(&turn, &QTimer::timeout, [this] { settle(); });
        turn.start(0);
    }
    bool heartOnDisk() {
        return SelectionStore(photos(), root / "support", root / "legacy-support")
            .load()
            .hearts.contains("a.jpg");
    }

    std::vector<QuitConfirmation> asked;
    bool quitAnyway = false;
    QTimer turn;
};

TEST_F(CloseTest, ARecordThatCannotBeWrittenBringsTheQuitAlert) {
    const FailingWrites full(64);
    EXPECT_FALSE(window().close());
    EXPECT_EQ(asked, std::vector<QuitConfirmation>{QuitConfirmation::make(RecordSaving::failed)});
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(heartOnDisk());
    quitAnyway = true;
    EXPECT_TRUE(window().close());
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(CloseTest, QuittingAfterTheAlertClosesTheWindowWithoutAskingAgain) {
    const FailingWrites full(64);
    quitAnyway = true;
    bool closed = false;
    // Qt closes the windows when the event loop is asked to quit.
    QTimer::singleShot(0, [&] {
        window().menus()->action(MenuCommand::quit)->trigger();
        closed = !window().isVisible();
        QCoreApplication::exit(0); // also when the quit did not end the loop
    });
    QApplication::exec();
    EXPECT_TRUE(closed);
    EXPECT_EQ(asked, std::vector<QuitConfirmation>{QuitConfirmation::make(RecordSaving::failed)});
}

TEST_F(CloseTest, AWrittenRecordClosesWithoutAWord) {
    EXPECT_TRUE(window().close());
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(heartOnDisk());
}

TEST_F(MainWindowMenuTest, HandBuiltItemsCarryTheUsualShortcuts) {
    struct Row {
        MenuCommand command;
        QKeySequence shortcut;
    };
    const Row rows[] = {
        {MenuCommand::undo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {MenuCommand::redo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {MenuCommand::minimize, QKeySequence(Qt::CTRL | Qt::Key_M)},
        {MenuCommand::settings, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {MenuCommand::quit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {MenuCommand::chooseFolder, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {MenuCommand::cropLarger, QKeySequence(Qt::CTRL | Qt::Key_0)},
        {MenuCommand::firstPhoto, QKeySequence(Qt::SHIFT | Qt::Key_Up)},
        {MenuCommand::rotateClockwiseHalf, QKeySequence(Qt::Key_Right)},
        {MenuCommand::resetCrop, QKeySequence(Qt::SHIFT | Qt::Key_Equal)},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(action(row.command));
        EXPECT_EQ(action(row.command)->shortcut(), row.shortcut) << action(row.command)->text().toStdString();
    }
    QStringList menus;
    for (QAction* menu : window().menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"Sorvin", "ファイル", "編集", "表示", "ウインドウ"}));
}

TEST_F(MainWindowMenuTest, ItemsFollowTheStateAndActOnIt) {
    addStandardPhotos();
    window().show();
    EXPECT_TRUE(action(MenuCommand::chooseFolder)->isEnabled());
    EXPECT_FALSE(action(MenuCommand::heartsOnly)->isEnabled());
    EXPECT_FALSE(action(MenuCommand::checkForUpdates)->isEnabled()); // no update feed
    EXPECT_FALSE(action(MenuCommand::undo)->isEnabled());

    openPhotos();
    EXPECT_TRUE(action(MenuCommand::sortKey)->isEnabled());
    EXPECT_EQ(action(MenuCommand::sortKey)->text(), QStringLiteral("並び替え: 撮影日時"));
    action(MenuCommand::sortKey)->trigger();
    EXPECT_EQ(state().sortKey(), PhotoSortKey::name);
    EXPECT_EQ(action(MenuCommand::sortKey)->text(), QStringLiteral("並び替え: ファイル名"));

    EXPECT_FALSE(action(MenuCommand::resetRotation)->isEnabled());
    action(MenuCommand::rotateClockwise90)->trigger();
    EXPECT_EQ(state().library()->currentRotation(), 90);
    EXPECT_TRUE(action(MenuCommand::resetRotation)->isEnabled());
    // The rotation is one undo step through the window's undo manager.
    ASSERT_TRUE(action(MenuCommand::undo)->isEnabled());
    action(MenuCommand::undo)->trigger();
    EXPECT_EQ(state().library()->currentRotation(), 0);
    EXPECT_TRUE(action(MenuCommand::redo)->isEnabled());

    const bool grid = state().showGrid();
    EXPECT_EQ(action(MenuCommand::grid)->isChecked(), grid);
    action(MenuCommand::grid)->trigger();
    EXPECT_EQ(state().showGrid(), !grid);
    EXPECT_EQ(action(MenuCommand::grid)->isChecked(), !grid);

    state().setAdjustmentInputFocused(true);
    EXPECT_FALSE(action(MenuCommand::chooseFolder)->isEnabled());
    EXPECT_FALSE(action(MenuCommand::grid)->isEnabled());
}

TEST_F(MainWindowMenuTest, QuitAsksOnlyWhileAWindowIsVisible) {
    int asked = 0;
    delegate().confirmQuit = [&asked](QWidget*, const QuitConfirmation&) {
        ++asked;
        return false;
    };
    window().hide();
    delegate().requestQuit(&window());
    EXPECT_EQ(asked, 0);
    window().show();
    action(MenuCommand::quit)->trigger();
    EXPECT_EQ(asked, 1);
}

TEST_F(MainWindowMenuTest, WindowSizeLimitsAndStoredFrame) {
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Sorvin"));
    EXPECT_EQ(window().minimumSize(), QSize(1360, 800));
    EXPECT_EQ(window().size(), QSize(1400, 900));
    EXPECT_FALSE(defaults.string(PreferenceKey::windowFrame)); // nothing written before a move
    window().show();
    window().setGeometry(40, 50, 1500, 950);
    window().setGeometry(45, 50, 1500, 950);
    // Written once the window keeps still, and at the latest when it closes.
    window().close();
    EXPECT_EQ(defaults.string(PreferenceKey::windowFrame), std::optional<std::string>("45 50 1500 950"));
}

TEST_F(MainWindowMenuTest, TheWindowHasTheKeyboardBackWhenASheetCloses) {
    addStandardPhotos();
    window().show();
    openPhotos();
    activate();
    SelectView* screen = window().rootView()->selectView();
    const auto rotation = [this] { return state().library()->currentRotation(); };
    const auto keyboardIsBack = [&] {
        QApplication::processEvents();
        QWidget* focus = QApplication::focusWidget();
        return QApplication::activeWindow() == &window() && focus && (focus == screen || screen->isAncestorOf(focus));
    };

    type(&window(), Qt::Key_Right);
    ASSERT_EQ(rotation(), 0.5);
    type(&window(), Qt::Key_E, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_TRUE(screen->exportSheet());
    QTest::mouseClick(screen->exportSheet()->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(keyboardIsBack());
    type(&window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rotation(), 0);

    QTest::mouseClick(screen->maskTabs()->addButton(), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_TRUE(screen->maskTabs()->sheet());
    type(screen->maskTabs()->sheet(), Qt::Key_Escape);
    EXPECT_TRUE(keyboardIsBack());
    type(&window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(rotation(), 0.5);
}

// The settings window has no close button where no window manager draws one: Esc and Ctrl+W close
// it, and the keys work in the main window again at once.
TEST_F(MainWindowMenuTest, EscAndCtrlWCloseTheSettingsAndTheKeyboardComesBack) {
    addStandardPhotos();
    window().show();
    openPhotos();
    activate();
    SelectView* screen = window().rootView()->selectView();
    const QRect menuBar(window().menuBar()->mapToGlobal(QPoint()), window().menuBar()->size());
    struct Close {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    double rotation = 0;
    for (const Close close : {Close{Qt::Key_Escape, Qt::NoModifier}, Close{Qt::Key_W, Qt::ControlModifier}}) {
        type(&window(), Qt::Key_Comma, Qt::ControlModifier);
        QApplication::processEvents();
        SettingsView* settings = window().settingsView();
        ASSERT_TRUE(settings && settings->isVisible());
        ASSERT_EQ(QApplication::activeWindow(), settings);
        EXPECT_FALSE(settings->frameGeometry().intersects(menuBar)) << "the menus stay in reach";

        type(settings, close.key, close.modifiers);
        QApplication::processEvents();
        EXPECT_FALSE(settings->isVisible());
        EXPECT_EQ(QApplication::activeWindow(), &window());
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus && (focus == screen || screen->isAncestorOf(focus)));
        type(&window(), Qt::Key_Right);
        rotation += 0.5;
        EXPECT_EQ(state().library()->currentRotation(), rotation);
    }
}

// The settings window is a dialog of the main window: a window manager keeps it above that window
// (Qt gives a dialog with a parent window its WM_TRANSIENT_FOR). While it has the keyboard, the
// program's own keys work as from the main window: Ctrl+Z and Ctrl+Shift+Z undo and redo the
// photos' edits, Ctrl+Q asks to quit; the photo's own keys do not reach the photo.
TEST_F(MainWindowMenuTest, TheSettingsWindowBelongsToTheMainWindowAndTheProgramsKeysWorkThere) {
    int asked = 0;
    delegate().confirmQuit = [&asked](QWidget*, const QuitConfirmation&) {
        ++asked;
        return false;
    };
    addStandardPhotos();
    window().show();
    openPhotos();
    activate();
    const auto rotation = [this] { return state().library()->currentRotation(); };
    type(&window(), Qt::Key_Right);
    ASSERT_EQ(rotation(), 0.5);
    type(&window(), Qt::Key_Comma, Qt::ControlModifier);
    QApplication::processEvents();
    SettingsView* settings = window().settingsView();
    ASSERT_TRUE(settings && settings->isVisible());
    ASSERT_EQ(QApplication::activeWindow(), settings);
    ASSERT_TRUE(settings->windowHandle());
    EXPECT_EQ(settings->windowHandle()->transientParent(), window().windowHandle());
    EXPECT_EQ(settings->windowType(), Qt::Dialog);

    type(settings, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rotation(), 0);
    type(settings, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(rotation(), 0.5);
    type(settings, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(rotation(), 0.5);
    queue.advance(AppState::kSaveDeadline); // the rotation written, so the quit asks at once
    settle();
    type(settings, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(settings->isVisible()) << "the quit was cancelled";
}

// A setting the disk refuses is said whichever command changed it: after the command's own message
// (the sort order's), which keeps its time, and for every change that fails, not only the first;
// else it would be lost at the next start unseen.
TEST_F(MainWindowMenuTest, ASettingTheDiskRefusesIsSaidWhicheverCommandChangedIt) {
    const auto session = openOnPreferencesFile();
    MainWindow& shown = session->window;
    ASSERT_EQ(QApplication::activeWindow(), &shown);
    const ToastView& toast = *shown.rootView()->toastView();
    const std::string refused =
        "設定を保存できませんでした（" + ExportError::failureReason(std::make_error_code(std::errc::file_too_large)) + "）";

    const FailingWrites full(64);
    struct Step {
        Qt::Key key;
        const char* own;
    };
    for (const Step step : {Step{Qt::Key_J, "ファイル名 昇順"}, Step{Qt::Key_U, "ファイル名 降順"},
                            Step{Qt::Key_J, "撮影日時 降順"}}) {
        type(&shown, step.key, Qt::ControlModifier);
        QApplication::processEvents();
        session->defaults.waitUntilWritten();
        queue.runPending();
        QApplication::processEvents();
        EXPECT_EQ(toast.text().toStdString(), step.own);
        queue.advance(1.9); // a sort order's message shows for 2 s
        QApplication::processEvents();
        EXPECT_EQ(toast.text().toStdString(), step.own);
        queue.advance(0.2);
        QApplication::processEvents();
        EXPECT_EQ(toast.text().toStdString(), refused) << step.own;
        EXPECT_EQ(toast.opacity(), 1.0);
        queue.advance(AppState::kWriteFailureToast + 1);
    }
}

// A second copy of the program saves a preset and a setting while this window is open: holding Ctrl
// names the preset on key 1, the settings window shows the setting as it opens, and a setting
// changed here (the grid, Ctrl+G) keeps both in the file.
TEST_F(MainWindowMenuTest, WhatAnotherCopyStoresShowsHereAndStays) {
    const auto opened = openOnPreferencesFile();
    MainWindow& shown = opened->window;
    const AppState& session = opened->state;
    const auto file = opened->defaults.file();
    ASSERT_EQ(QApplication::activeWindow(), &shown);

    DefaultsStore otherDefaults(file);
    AppSettings other(otherDefaults, std::uint64_t{1} << 35);
    ParameterPresetManager otherPresets(other.presetStore(), other.presetStore().load().presets);
    otherPresets.save("夕景", PhotoParameters::zero());
    otherDefaults.set(PreferenceKey::holdAdvanceRate, 24);
    otherDefaults.waitUntilWritten();
    // What this window's settings read or write comes in once written.
    const auto read = [&] {
        opened->defaults.waitUntilWritten();
        queue.runPending();
        QApplication::processEvents();
    };

    press(&shown, Qt::Key_Control);
    queue.advance(AppState::kCheatSheetDelay + 0.05);
    QApplication::processEvents();
    read();
    const CommandCheatSheetView* cheatSheet = shown.rootView()->selectView()->visibleCheatSheet();
    ASSERT_NE(cheatSheet, nullptr);
    const auto labels = cheatSheet->visibleLabels();
    ASSERT_TRUE(labels.contains("1"));
    EXPECT_EQ(labels.at("1"), "夕景");
    release(&shown, Qt::Key_Control, Qt::ControlModifier);
    settle();
    ASSERT_EQ(session.presets().size(), 1u);
    EXPECT_EQ(session.presets()[0].name, "夕景");

    const bool grid = session.showGrid();
    type(&shown, Qt::Key_G, Qt::ControlModifier);
    settle();
    read();
    ASSERT_NE(session.showGrid(), grid);
    DefaultsStore reopened(file);
    const auto stored = ParameterPresetStore(reopened).load().presets;
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "夕景");
    EXPECT_EQ(reopened.boolValue(PreferenceKey::showGrid), !grid);

    type(&shown, Qt::Key_Comma, Qt::ControlModifier);
    QApplication::processEvents();
    SettingsView* settings = shown.settingsView();
    ASSERT_TRUE(settings && settings->isVisible());
    EXPECT_EQ(settings->holdAdvanceRateSlider()->value(), 24);
    type(settings, Qt::Key_Escape);
    QApplication::processEvents();
    ASSERT_FALSE(settings->isVisible());
    otherDefaults.set(PreferenceKey::holdAdvanceRate, 26);
    otherDefaults.waitUntilWritten();
    type(&shown, Qt::Key_Comma, Qt::ControlModifier);
    QApplication::processEvents();
    read();
    ASSERT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->holdAdvanceRateSlider()->value(), 26);
}

// The brightest channel of a menu item's row as the menu draws it.
int brightestInRow(QMenu& menu, QAction* action) {
    menu.resize(menu.sizeHint());
    const QImage shot = menu.grab().toImage();
    const QRect row = menu.actionGeometry(action) & shot.rect();
    int brightest = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x <= row.right(); ++x)
            brightest = std::max(brightest, qGray(shot.pixel(x, y)));
    return brightest;
}

TEST_F(MainWindowMenuTest, DisabledItemsAreDrawnInTheDisabledTextColour) {
    window().show(); // the home screen: the photo commands are disabled
    QAction* grid = action(MenuCommand::grid);
    QAction* folder = action(MenuCommand::chooseFolder);
    ASSERT_FALSE(grid->isEnabled());
    ASSERT_TRUE(folder->isEnabled());
    auto* view = qobject_cast<QMenu*>(grid->associatedObjects().value(0));
    auto* file = qobject_cast<QMenu*>(folder->associatedObjects().value(0));
    ASSERT_TRUE(view && file);
    EXPECT_LE(brightestInRow(*view, grid), qGray(SorvinColor::secondaryText().rgb()) + 8);
    EXPECT_GE(brightestInRow(*file, folder), qGray(SorvinColor::text().rgb()) - 8);
}

class StoredFrameTest : public MainWindowTest {};

TEST_F(StoredFrameTest, ALargeEnoughFrameOnAScreenIsApplied) {
    defaults.set(PreferenceKey::windowFrame, "30 40 1360 800");
    EXPECT_EQ(window().geometry(), QRect(30, 40, 1360, 800));
}

TEST_F(StoredFrameTest, ATooSmallFrameIsIgnored) {
    defaults.set(PreferenceKey::windowFrame, "30 40 1359 900");
    EXPECT_EQ(window().size(), QSize(1400, 900));
}

} // namespace
} // namespace sorvin::test
