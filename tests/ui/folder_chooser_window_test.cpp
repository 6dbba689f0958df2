// The folder choosers at the window: the chooser of the folder to open, the export's destination
// chooser and the one-photo save panel. Beside each one's folder lies a share that stopped
// answering (a FUSE mount whose process is stopped): whatever the dialog does, the main thread
// never holds the event loop for long. And each is used by keys alone.

#include "export/exporter_destination.hpp"
#include "persistence/preference_key.hpp"
#include "platform/stall_tolerant_executor.hpp"
#include "support/breakable_fuse_mount.hpp"
#include "support/counted_work.hpp"
#include "support/main_thread_work.hpp"
#include "support/scripted_mount_watch.hpp"
#include "support/slow_share.hpp"
#include "support/slow_share_disk.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/folder_chooser_rows.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_folder_panel.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_single_export_panel.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeView>
#include <functional>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kStallAtMost = std::chrono::seconds(10);

// Turns the event loop until the condition holds, or fails after a while that only a program that
// waits for something that never comes takes, however loaded the machine.
bool processUntil(const std::function<bool()>& condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && elapsed.elapsed() < 20'000) QCoreApplication::processEvents();
    return condition();
}

QString currentName(const FolderChooserDialog& dialog) {
    return dialog.folderList()->currentIndex().siblingAtColumn(0).data().toString();
}

QStringList shownNames(const FolderChooserDialog& dialog) {
    QStringList names;
    const QAbstractItemModel& rows = *dialog.folderList()->model();
    for (int at = 0; at < rows.rowCount(); ++at) names << rows.index(at, 0).data().toString();
    return names;
}

QStringList placeNames(const FolderChooserDialog& dialog) {
    QStringList names;
    for (int at = 0; at < dialog.placeList()->count(); ++at) names << dialog.placeList()->item(at)->text();
    return names;
}

QString qPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// A key typed as the user types it, to whatever has the keyboard.
void key(Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, pressed, modifiers);
}

// A path typed over whatever the field holds, letter by letter, the window answering each.
void typeOver(QLineEdit* field, const fs::path& path) {
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    for (const QChar letter : qPath(path)) {
        QTest::keyClicks(field, QString(letter));
        QApplication::processEvents();
    }
}

class FolderChooserWindowTest : public MainWindowTest {
protected:
    FolderChooserWindowTest() {
        chooser = &panel;
        savePanel = &saver;
        panel.setMountWatch(&mounts);
        saver.setMountWatch(&mounts);
        base = photos().parent_path();
    }
    ~FolderChooserWindowTest() override {
        share.reset();
        slowShare->answerAtOnce();
    }

    // A share beside the photo folder; false where FUSE is missing.
    bool mountAShare() {
        fs::create_directories(base / "source" / "inside");
        share = std::make_unique<BreakableFuseMount>(base / "source", base / "share");
        mounts.mountinfo += mountinfoLine(60, (base / "share").string(), "fuse.bindfs", "bindfs");
        return share->skipReason().empty();
    }
    // The share stops answering. The dialog was shown once before, as a user has, so that what is
    // measured is the dialog's own work, not the loading of the style's fonts and icons that the
    // first window of a process does whatever the disk.
    void stallTheShare() { share->stall(kStallAtMost); }
    void expectTheShareWaitedFor() {
        if (!share) return;
        EXPECT_FALSE(share->resumedByWatchdog()) << "something waited on the stalled share";
        share->resume();
    }

    // Runs `drive` in the chooser that `show` brings up in a loop of its own; whatever `drive`
    // leaves open is cancelled, so that a failed step never leaves the test waiting in the dialog.
    void inChooser(const std::function<void()>& show, const std::function<void(FolderChooserDialog&)>& drive) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FolderChooserDialog*>(QApplication::activeModalWidget());
            shown = dialog != nullptr;
            if (!dialog) return;
            dialog->activateWindow();
            QApplication::processEvents();
            drive(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        show();
        EXPECT_TRUE(shown) << "no chooser came";
    }
    void inFolderChooser(const std::function<void(FolderChooserDialog&)>& drive) {
        activate();
        inChooser(
            [this] {
                type(&window(), Qt::Key_O, Qt::ControlModifier);
                settle(); // the last folder's check answers, and the chooser runs
            },
            drive);
    }
    ExportSheet& exportSheet() {
        type(&window(), Qt::Key_E, Qt::ControlModifier);
        ExportSheet* sheet = window().rootView()->selectView()->exportSheet();
        EXPECT_NE(sheet, nullptr);
        sheet->activateWindow();
        QApplication::processEvents();
        return *sheet;
    }
    // 選ぶ… reached by Tab and pressed with Space.
    void inDestinationChooser(ExportSheet& sheet, const std::function<void(FolderChooserDialog&)>& drive) {
        sheet.activateWindow();
        QApplication::processEvents();
        inChooser(
            [&] {
                QPushButton* choose = nullptr;
                for (QPushButton* button : sheet.findChildren<QPushButton*>())
                    if (button->text() == QStringLiteral("選ぶ…")) choose = button;
                ASSERT_NE(choose, nullptr);
                sheet.destinationField()->setFocus();
                for (int tab = 0; tab < 10 && QApplication::focusWidget() != choose; ++tab) key(Qt::Key_Tab);
                ASSERT_EQ(QApplication::focusWidget(), choose);
                key(Qt::Key_Space);
            },
            drive);
    }
    void openPhotos() {
        addStandardPhotos();
        window().show();
        state().open(photos());
        settle();
        ASSERT_EQ(state().screen(), AppScreen::select);
        activate();
    }

    // Ctrl+S, and once the folder shown is listed, the name typed over the one proposed. None when
    // no panel came, or its folder was not listed.
    QPointer<FolderChooserDialog> savePanelWithNameTyped(const fs::path& name) {
        type(&window(), Qt::Key_S, Qt::ControlModifier);
        const QPointer<FolderChooserDialog> dialog = saver.activeDialog();
        if (!dialog) return nullptr;
        dialog->activateWindow();
        if (!processUntil([&] { return dialog->chooseButton()->isEnabled(); })) return nullptr;
        saver.nameField()->setFocus();
        typeOver(saver.nameField(), name);
        return dialog;
    }
    // The test waits until every question, answer and deadline of the choosers has come.
    bool everythingCame() const { return queue.idle() && work.idle(); }

    QtMainQueue liveQueue;
    CountedMainQueue queue{liveQueue};
    StallTolerantExecutor threads;
    CountedExecutor work{threads};
    // A folder beside the photo folder that stands for a share answering late or not at all.
    std::shared_ptr<SlowShareDisk> slowShare = std::make_shared<SlowShareDisk>(photos().parent_path() / "slow");
    ScriptedMountWatch mounts;
    QtFolderPanel panel{queue, work, slowShare};
    QtSingleExportPanel saver{queue, work, slowShare};
    fs::path base;
    std::unique_ptr<BreakableFuseMount> share;
};

// The chooser starts in the photo folder; beside it lies a share that stopped answering. Its path
// typed letter by letter and Return, the folder above listed by Alt+Up (the share marked, every
// other folder shown), キャンセル, and another folder chosen: no step holds the window.
TEST_F(FolderChooserWindowTest, AStalledShareBesideTheFolderNeverHoldsTheWindow) {
    if (!mountAShare()) GTEST_SKIP() << share->skipReason();
    addStandardPhotos();
    fs::copy(photos(), base / "other");
    panel.setParent(&window());
    window().show();
    state().open(photos());
    state().cancelLoading(); // home, with the photo folder the last one
    settle();
    inFolderChooser([](FolderChooserDialog&) {});

    stallTheShare();
    MainThreadWork work;
    inFolderChooser([&](FolderChooserDialog& dialog) {
        ASSERT_TRUE(processUntil([&] { return dialog.model().choice().has_value(); }));
        EXPECT_EQ(dialog.pathField()->text().toStdString(), FolderScanner::standardized(photos()).string());
        typeOver(dialog.pathField(), base / "share");
        EXPECT_TRUE(processUntil([&] { return dialog.statusLabel()->text() == QStringLiteral("フォルダが応答しません"); }))
            << dialog.statusLabel()->text().toStdString();
        EXPECT_TRUE(dialog.chooseButton()->isEnabled()) << "kept for a late answer";
        key(Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible()) << "a folder that does not answer is not taken";
        EXPECT_TRUE(processUntil([&] {
            return dialog.statusLabel()->text() == QStringLiteral("フォルダが応答しません。応答を待っています…");
        })) << "Return is kept for a late answer: " << dialog.statusLabel()->text().toStdString();

        key(Qt::Key_Up, Qt::AltModifier);
        EXPECT_TRUE(processUntil([&] { return typeOf(dialog, QStringLiteral("share")) == QStringLiteral("応答なし"); }))
            << shownNames(dialog).join(u',').toStdString();
        for (const char* name : {"other", "photos", "source"})
            EXPECT_EQ(typeOf(dialog, QString::fromLatin1(name)), QStringLiteral("フォルダ")) << name << " is listed";
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    });
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    EXPECT_EQ(state().screen(), AppScreen::home);
    EXPECT_FALSE(state().isFolderPanelPresented());

    inFolderChooser([&](FolderChooserDialog& dialog) {
        QTest::mouseClick(dialog.upButton(), Qt::LeftButton);
        ASSERT_TRUE(processUntil([&] { return dialog.rowNamed(QStringLiteral("other")).isValid(); }));
        QTest::mouseClick(dialog.folderList()->viewport(), Qt::LeftButton, {},
                          dialog.folderList()->visualRect(dialog.rowNamed(QStringLiteral("other"))).center());
        const QString otherPath = qPath(FolderScanner::standardized(base) / "other");
        ASSERT_TRUE(processUntil([&] { return dialog.pathField()->text() == otherPath; }))
            << dialog.pathField()->text().toStdString();
        ASSERT_TRUE(dialog.chooseButton()->isEnabled());
        QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
    });
    settle();
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(base / "other"));
    EXPECT_EQ(state().screen(), AppScreen::select);
    expectTheShareWaitedFor();
}

// Five folders of twenty links each into a share that stopped answering, each opened in the chooser
// of the folder to open: their links show as not answering, a link after them to a folder beside
// shows as a folder, and a local folder is then listed and taken, and saved to by Ctrl+S, the
// chooser and the save panel asking the disk through the same threads as the questions the share
// holds; the share holds no more of them than its share, and no step holds the window.
TEST_F(FolderChooserWindowTest, FoldersOfLinksIntoAStoppedShareHoldUpNoOtherFolder) {
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "b.jpg"); // small: the photo is written on this thread
    fs::copy(photos(), base / "other");
    fs::create_directories(base / "out");
    for (int folder = 1; folder <= 5; ++folder) {
        const fs::path links = base / ("links" + std::to_string(folder));
        fs::create_directories(links);
        for (int link = 1; link <= 20; ++link) {
            const std::string name = (link < 10 ? "0" : "") + std::to_string(link);
            fs::create_directories(base / "slow" / ("f" + name));
            fs::create_directory_symlink(base / "slow" / ("f" + name), links / ("s" + name));
        }
    }
    fs::create_directory_symlink(base / "other", base / "links5" / "zz-near");
    panel.setParent(&window());
    saver.setParent(&window());
    window().show();
    state().open(photos());
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    defaults.set(PreferenceKey::lastSingleExportFolder, (base / "out").string());
    // Each shown once before, as a user has, so that what is measured is their own work.
    inFolderChooser([](FolderChooserDialog&) {});
    type(&window(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_NE(saver.activeDialog(), nullptr);
    saver.activeDialog()->reject();
    activate();

    slowShare->fallSilent();
    MainThreadWork work;
    inFolderChooser([&](FolderChooserDialog& dialog) {
        const auto openTyped = [&](const fs::path& folder) {
            typeOver(dialog.pathField(), folder);
            key(Qt::Key_Return);
            return processUntil([&] {
                return dialog.model().folder() == folder &&
                       dialog.model().listingState() == FolderChooserModel::PathState::folder;
            });
        };
        for (int folder = 1; folder <= 5; ++folder) {
            ASSERT_TRUE(openTyped(base / ("links" + std::to_string(folder)))) << "links" << folder << " was listed";
            EXPECT_TRUE(processUntil([&] { return typeOf(dialog, QStringLiteral("s01")) == QStringLiteral("応答なし"); }))
                << shownNames(dialog).join(u',').toStdString();
        }
        EXPECT_TRUE(processUntil([&] { return typeOf(dialog, QStringLiteral("zz-near")) == QStringLiteral("フォルダ"); }))
            << "a link after those into the share: " << shownNames(dialog).join(u',').toStdString();
        EXPECT_TRUE(processUntil([&] { return typeOf(dialog, QStringLiteral("s20")) == QStringLiteral("応答なし"); }));
        ASSERT_TRUE(openTyped(base / "other"));
        key(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible()) << "the folder beside was taken";
    });
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    settle(); // the folder's scan, on the test's thread
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(base / "other"));
    EXPECT_EQ(state().screen(), AppScreen::select);

    activate();
    MainThreadWork saving;
    const QPointer<FolderChooserDialog> dialog = savePanelWithNameTyped(base / "out" / "x.jpg");
    ASSERT_NE(dialog, nullptr) << "the save panel's folder was listed";
    key(Qt::Key_Return);
    EXPECT_TRUE(processUntil([&] { return !dialog; })) << (dialog ? saver.problemLabel()->text().toStdString() : "");
    EXPECT_LT(saving.longestMilliseconds(), kLongestWorkMilliseconds);
    settle(); // the photo written, on the test's thread
    EXPECT_TRUE(fs::exists(base / "out" / "x.jpg"));
    EXPECT_GT(slowShare->held(), 0u);
    EXPECT_LE(slowShare->held(), StallTolerantExecutor::Setup{}.maxPerDisk) << "the share holds its share of the threads";
}

// 選ぶ… with the destination on the share that stopped answering, then beside it: the chooser
// says that it does not answer, lists the folder above with the share marked, and never holds the
// window; nothing is chosen.
TEST_F(FolderChooserWindowTest, TheDestinationChooserNeverWaitsOnAStalledShare) {
    fs::create_directories(base / "out");
    if (!mountAShare()) GTEST_SKIP() << share->skipReason();
    panel.setParent(&window());
    openPhotos();
    defaults.set(PreferenceKey::lastExportFolder, (base / "out").string());
    ExportSheet& sheet = exportSheet();
    inDestinationChooser(sheet, [](FolderChooserDialog&) {});
    // The destination typed: on the share.
    QTest::keyClick(sheet.destinationField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(sheet.destinationField(), qPath(base / "share" / "inside"));

    stallTheShare();
    MainThreadWork work;
    inDestinationChooser(sheet, [&](FolderChooserDialog& dialog) {
        EXPECT_EQ(dialog.chooseButton()->text(), QStringLiteral("ここに書き出す"));
        EXPECT_TRUE(processUntil([&] { return dialog.statusLabel()->text() == QStringLiteral("フォルダが応答しません"); }));
        typeOver(dialog.pathField(), base / "out");
        key(Qt::Key_Return);
        ASSERT_TRUE(processUntil([&] { return dialog.model().folder() == base / "out"; }));
        key(Qt::Key_Up, Qt::AltModifier);
        EXPECT_TRUE(processUntil([&] { return typeOf(dialog, QStringLiteral("share")) == QStringLiteral("応答なし"); }))
            << shownNames(dialog).join(u',').toStdString();
        typeOver(dialog.pathField(), base / "share" / "inside");
        EXPECT_TRUE(processUntil([&] { return dialog.statusLabel()->text() == QStringLiteral("フォルダが応答しません"); }));
        key(Qt::Key_Escape);
    });
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    EXPECT_EQ(sheet.destinationField()->text(), qPath(base / "share" / "inside")) << "nothing chosen";
    sheet.reject();
    expectTheShareWaitedFor();
}

// The one-photo save panel (Ctrl+S) starting beside the share, then on it: its listing, the
// share's path typed in the folder field and in the name field, and キャンセル never hold the
// window; what does not answer is said so.
TEST_F(FolderChooserWindowTest, TheSavePanelNeverWaitsOnAStalledShare) {
    fs::create_directories(base / "out");
    if (!mountAShare()) GTEST_SKIP() << share->skipReason();
    saver.setParent(&window());
    openPhotos();
    defaults.set(PreferenceKey::lastSingleExportFolder, (base / "out").string());
    type(&window(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_NE(saver.activeDialog(), nullptr);
    saver.activeDialog()->reject();
    activate();

    stallTheShare();
    MainThreadWork work;
    for (const fs::path& start : {base / "out", base / "share" / "inside"}) {
        SCOPED_TRACE(start);
        defaults.set(PreferenceKey::lastSingleExportFolder, start.string());
        type(&window(), Qt::Key_S, Qt::ControlModifier);
        const QPointer<FolderChooserDialog> dialog = saver.activeDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->activateWindow();
        if (start == base / "out") {
            ASSERT_TRUE(processUntil([&] { return dialog->chooseButton()->isEnabled(); }));
            dialog->pathField()->setFocus();
            typeOver(dialog->pathField(), base / "share");
            key(Qt::Key_Return);
            EXPECT_TRUE(processUntil([&] {
                return dialog->statusLabel()->text() == QStringLiteral("フォルダが応答しません。応答を待っています…");
            })) << dialog->statusLabel()->text().toStdString();
            key(Qt::Key_Up, Qt::AltModifier);
            EXPECT_TRUE(processUntil([&] { return typeOf(*dialog, QStringLiteral("share")) == QStringLiteral("応答なし"); }))
                << shownNames(*dialog).join(u',').toStdString();
            EXPECT_TRUE(dialog->rowNamed(QStringLiteral("photos")).isValid());
            saver.nameField()->setFocus();
            typeOver(saver.nameField(), base / "share" / "inside");
            key(Qt::Key_Return);
            EXPECT_TRUE(processUntil([&] { return saver.problemLabel()->text() == QStringLiteral("保存先のフォルダが応答しません"); }));
        } else {
            EXPECT_TRUE(processUntil([&] { return dialog->statusLabel()->text() == QStringLiteral("フォルダが応答しません"); }));
            EXPECT_FALSE(dialog->chooseButton()->isEnabled());
        }
        EXPECT_TRUE(dialog->isVisible());
        key(Qt::Key_Escape);
        EXPECT_TRUE(processUntil([&] { return !dialog || !dialog->isVisible(); }));
        EXPECT_FALSE(state().isSingleExportInProgress());
    }
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    expectTheShareWaitedFor();
}

// By keys alone: Ctrl+O, a path typed, Return opens it in the chooser once it answered as a folder,
// Return takes it and the window opens it. Backspace in the list and Alt+Up go up, the folder left
// chosen in the folder above; the places list takes ↓ and Return.
TEST_F(FolderChooserWindowTest, ByKeysAloneAFolderIsOpened) {
    addStandardPhotos();
    mounts.mountinfo = mountinfoLine(40, "/media/tester/CARD", "vfat", "/dev/sdb1");
    panel.setParent(&window());
    window().show();
    activate();
    inFolderChooser([&](FolderChooserDialog& dialog) {
        typeOver(dialog.pathField(), photos());
        ASSERT_TRUE(processUntil([&] { return dialog.model().choice().has_value(); })) << "the typed folder answered";
        key(Qt::Key_Return);
        ASSERT_TRUE(processUntil([&] {
            return dialog.model().folder() == photos() && dialog.model().listingState() == FolderChooserModel::PathState::folder;
        })) << "the folder opened was listed";
        EXPECT_EQ(dialog.pathField()->text(), qPath(photos()));
        key(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    settle();
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(photos()));
    EXPECT_EQ(state().screen(), AppScreen::select);

    fs::create_directories(photos() / "deeper");
    inFolderChooser([&](FolderChooserDialog& dialog) {
        ASSERT_EQ(dialog.model().folder(), photos());
        key(Qt::Key_Up, Qt::AltModifier);
        EXPECT_EQ(dialog.model().folder(), base);
        ASSERT_TRUE(processUntil([&] { return currentName(dialog) == QStringLiteral("photos"); }))
            << "the folder left is chosen above: " << currentName(dialog).toStdString();
        EXPECT_EQ(dialog.pathField()->text(), qPath(photos()));
        dialog.folderList()->setFocus();
        key(Qt::Key_Return);
        EXPECT_EQ(dialog.model().folder(), photos()) << "Return on a row opens it";
        ASSERT_TRUE(processUntil([&] { return dialog.rowNamed(QStringLiteral("deeper")).isValid(); }));
        key(Qt::Key_Down);
        ASSERT_EQ(currentName(dialog), QStringLiteral("deeper"));
        key(Qt::Key_Return);
        EXPECT_EQ(dialog.model().folder(), photos() / "deeper");
        key(Qt::Key_Backspace);
        EXPECT_EQ(dialog.model().folder(), photos());
        EXPECT_TRUE(processUntil([&] { return currentName(dialog) == QStringLiteral("deeper"); }))
            << "the folder left is chosen above: " << currentName(dialog).toStdString();
        EXPECT_EQ(dialog.pathField()->text(), qPath(photos() / "deeper"));

        dialog.placeList()->setFocus();
        ASSERT_EQ(placeNames(dialog), (QStringList{QStringLiteral("ホーム"), QStringLiteral("コンピュータ"), QStringLiteral("CARD")}));
        for (int down = 0; down < 3; ++down) key(Qt::Key_Down);
        key(Qt::Key_Return);
        EXPECT_EQ(dialog.model().folder(), fs::path("/media/tester/CARD"));
        key(Qt::Key_Up);
        key(Qt::Key_Return);
        EXPECT_EQ(dialog.model().folder(), fs::path("/"));
        key(Qt::Key_Escape);
    });
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(photos())) << "nothing else opened";
}

// A folder on a share that answers every call slowly (a cloud drive): its path typed, Return and
// 選択 pressed before it answered. The chooser says what they wait for, also once the folder was
// said not to answer in time, and takes the folder when it answers.
TEST_F(FolderChooserWindowTest, AFolderOnAShareSlowOnEveryCallIsTakenWhenItAnswers) {
    SlowShare cloud{base / "server", base / "cloud"};
    if (!cloud.skipReason().empty()) GTEST_SKIP() << cloud.skipReason();
    fs::create_directories(base / "server" / "album");
    addStandardPhotos();
    panel.setParent(&window());
    window().show();
    activate();
    inFolderChooser([&](FolderChooserDialog& dialog) {
        typeOver(dialog.pathField(), base / "cloud");
        ASSERT_TRUE(processUntil([&] { return dialog.model().choice().has_value(); })) << "the share's root answered";
        cloud.answerEachAfter(std::chrono::milliseconds(1500));
        typeOver(dialog.pathField(), base / "cloud" / "album");
        key(Qt::Key_Return);
        ASSERT_TRUE(dialog.chooseButton()->isEnabled()) << "選択 is kept for the answer";
        QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(processUntil([&] { return dialog.statusLabel()->text().contains(QStringLiteral("応答を待っています")); }))
            << dialog.statusLabel()->text().toStdString();
        ASSERT_TRUE(processUntil([&] {
            return dialog.statusLabel()->text() == QStringLiteral("フォルダが応答しません。応答を待っています…");
        })) << "the deadline passed: " << dialog.statusLabel()->text().toStdString();
        ASSERT_TRUE(processUntil([&] { return !dialog.isVisible(); })) << "taken when it answered";
    });
    cloud.answerEachAfter(std::chrono::milliseconds(0));
    settle();
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(base / "cloud" / "album"));
}

// The destination chooser by keys alone: 選ぶ…, a path typed, Return once it answered, Return:
// the sheet takes it. Each step waits for what the user sees before the next key, never for a
// time, so that a loaded machine only makes it slower.
TEST_F(FolderChooserWindowTest, ByKeysAloneADestinationIsChosen) {
    fs::create_directories(base / "out");
    panel.setParent(&window());
    openPhotos();
    ExportSheet& sheet = exportSheet();
    inDestinationChooser(sheet, [&](FolderChooserDialog& dialog) {
        typeOver(dialog.pathField(), base / "out");
        ASSERT_TRUE(processUntil([&] { return dialog.chooseButton()->isEnabled(); })) << "the typed folder answered";
        key(Qt::Key_Return);
        ASSERT_TRUE(processUntil([&] {
            return dialog.model().folder() == base / "out" && dialog.model().listingState() == FolderChooserModel::PathState::folder;
        })) << "the folder opened was listed";
        ASSERT_EQ(QApplication::focusWidget(), dialog.pathField());
        key(Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(sheet.destinationField()->text(), qPath(base / "out"));
    EXPECT_EQ(defaults.string(PreferenceKey::lastExportFolder), (base / "out").string());
    sheet.reject();
}

// On a laptop's screen at twice the scale (683 × 368 points), under a window manager's frame with a
// 20-point title bar, the folder chooser (Ctrl+O) and the one-photo save panel (Ctrl+S) come up on
// the screen whole, title bar and buttons included, and キャンセル answers a click where it is
// drawn; so does the settings window (Ctrl+,), its form scrolling. On the usual screen the chooser
// keeps its size.
TEST_F(FolderChooserWindowTest, OnASmallScreenAtTwiceTheScaleTheChoosersAndTheSettingsLieOnIt) {
    QScreen* small = nullptr;
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == QStringLiteral("laptop-double")) small = screen;
    ASSERT_NE(small, nullptr);
    const QMargins frame(2, 20, 2, 2);
    window().setFrameSource([frame] { return frame; });
    panel.setParent(&window());
    saver.setParent(&window());
    openPhotos();
    inFolderChooser([&](FolderChooserDialog& dialog) {
        EXPECT_EQ(dialog.size(), QSize(760, 480));
        key(Qt::Key_Escape);
    });

    const QRect free = small->availableGeometry();
    window().move(free.topLeft());
    QApplication::processEvents();
    ASSERT_EQ(window().screen(), small);
    window().setGeometry(free.marginsRemoved(frame));
    QApplication::processEvents();
    const auto expectOnScreen = [&](const QWidget& dialog) {
        EXPECT_EQ(dialog.screen(), small);
        const QRect framed = dialog.geometry().marginsAdded(frame);
        EXPECT_TRUE(free.contains(framed)) << dialog.windowTitle().toStdString() << " leaves the screen: " << framed.x()
                                           << "," << framed.y() << " " << framed.width() << "×" << framed.height();
    };
    const auto expectWhole = [&](QDialog& dialog, QPushButton* cancel) {
        expectOnScreen(dialog);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(&dialog)) continue;
            const QRect drawn(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_TRUE(free.contains(drawn)) << button->text().toStdString() << " is off the screen";
        }
        const QPointer<QDialog> shown = &dialog;
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, cancel->mapTo(&dialog, cancel->rect().center()));
        EXPECT_TRUE(processUntil([&] { return !shown || !shown->isVisible(); })) << "キャンセル took no click";
    };
    inFolderChooser([&](FolderChooserDialog& dialog) { expectWhole(dialog, dialog.cancelButton()); });
    activate();
    type(&window(), Qt::Key_S, Qt::ControlModifier);
    const QPointer<FolderChooserDialog> dialog = saver.activeDialog();
    ASSERT_NE(dialog, nullptr);
    QApplication::processEvents();
    expectWhole(*dialog, dialog->cancelButton());

    // The settings window too, its release notes open or not; what is lower than its form scrolls.
    activate();
    type(&window(), Qt::Key_Comma, Qt::ControlModifier);
    SettingsView* settings = window().settingsView();
    ASSERT_NE(settings, nullptr);
    for (const bool notes : {false, true}) {
        if (notes) settings->releaseNotesToggle()->click();
        QApplication::processEvents();
        expectOnScreen(*settings);
        EXPECT_TRUE(settings->findChild<QScrollArea*>()->verticalScrollBar()->isVisible());
    }
    settings->close();
}

// How a share keeps a chooser's question out, and when the chooser is closed under it.
enum class Share { late, silent };
enum class Closed { atOnce, atTheDeadline };

struct ClosingCase {
    Share share;
    Closed closed;
};

std::string describe(const ClosingCase& closing) {
    return std::string(closing.share == Share::late ? "a share answering late" : "a silent share") +
           (closing.closed == Closed::atOnce ? ", closed at once" : ", closed once it said so");
}

class ChooserClosingTest : public FolderChooserWindowTest {
protected:
    static constexpr ClosingCase kCases[] = {{Share::late, Closed::atOnce},
                                             {Share::late, Closed::atTheDeadline},
                                             {Share::silent, Closed::atOnce},
                                             {Share::silent, Closed::atTheDeadline}};

    // A late share answers after `late`: later than the chooser waits.
    void slowDown(const ClosingCase& closing, std::chrono::milliseconds late = std::chrono::milliseconds(1200)) {
        fs::create_directories(base / "slow" / "inside");
        askedBefore = slowShare->asked();
        if (closing.share == Share::late) slowShare->answerLate(late);
        else slowShare->fallSilent();
    }
    // Esc, at once or once `said` says that the share does not answer.
    void close(const ClosingCase& closing, const std::function<QString()>& said, const QString& notAnswering) {
        if (closing.closed == Closed::atTheDeadline) {
            EXPECT_TRUE(processUntil([&] { return said() == notAnswering; })) << said().toStdString();
        }
        key(Qt::Key_Escape);
    }
    // The share answers at last, and every answer and deadline comes: none of them may reach the
    // dialog gone. A question dropped at once may never have reached the share.
    void letEverythingCome(const ClosingCase& closing) {
        slowShare->answerAtOnce();
        EXPECT_TRUE(processUntil([&] { return everythingCame(); }));
        QApplication::processEvents();
        if (closing.closed == Closed::atTheDeadline) {
            EXPECT_GT(slowShare->asked(), askedBefore) << "a question about the share was out";
        }
    }

    std::size_t askedBefore = 0;
};

// The chooser of the folder to open, closed while a path typed on the share is asked: the share's
// answers, late or after it was let go, change nothing, and the window goes on.
TEST_F(ChooserClosingTest, TheFolderChooserClosedWhileItAsksHearsNothingMore) {
    panel.setParent(&window());
    openPhotos();
    for (const ClosingCase& closing : kCases) {
        SCOPED_TRACE(describe(closing));
        slowDown(closing);
        inFolderChooser([&](FolderChooserDialog& dialog) {
            typeOver(dialog.pathField(), base / "slow" / "inside");
            key(Qt::Key_Return);
            close(closing, [&] { return dialog.statusLabel()->text(); },
                  QStringLiteral("フォルダが応答しません。応答を待っています…"));
            EXPECT_FALSE(dialog.isVisible());
        });
        letEverythingCome(closing);
        EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(photos()));
        EXPECT_EQ(state().screen(), AppScreen::select);
        EXPECT_FALSE(state().isFolderPanelPresented());
    }
}

// The export's destination chooser, started on the share and closed while it lists it: nothing is
// chosen, whatever the share says later.
TEST_F(ChooserClosingTest, TheDestinationChooserClosedWhileItAsksHearsNothingMore) {
    panel.setParent(&window());
    openPhotos();
    ExportSheet& sheet = exportSheet();
    QTest::keyClick(sheet.destinationField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(sheet.destinationField(), qPath(base / "slow" / "inside"));
    for (const ClosingCase& closing : kCases) {
        SCOPED_TRACE(describe(closing));
        slowDown(closing);
        inDestinationChooser(sheet, [&](FolderChooserDialog& dialog) {
            close(closing, [&] { return dialog.statusLabel()->text(); }, QStringLiteral("フォルダが応答しません"));
            EXPECT_FALSE(dialog.isVisible());
        });
        letEverythingCome(closing);
        EXPECT_EQ(sheet.destinationField()->text(), qPath(base / "slow" / "inside")) << "nothing chosen";
        EXPECT_TRUE(sheet.isVisible());
    }
    sheet.reject();
}

// The one-photo save panel closed while it asks whether a name typed on the share is there: the
// answer that comes after, and the end of its wait, find the panel gone and change nothing; no
// file is written and another Ctrl+S works.
TEST_F(ChooserClosingTest, TheSavePanelClosedWhileItChecksANameHearsNothingMore) {
    fs::create_directories(base / "out");
    saver.setParent(&window());
    openPhotos();
    defaults.set(PreferenceKey::lastSingleExportFolder, (base / "out").string());
    for (const ClosingCase& closing : kCases) {
        SCOPED_TRACE(describe(closing));
        // The save panel waits for a name as long as the export's check of a destination does.
        slowDown(closing, Exporter::kFolderAnswerWait + std::chrono::seconds(1));
        const QPointer<FolderChooserDialog> dialog = savePanelWithNameTyped(base / "slow" / "x.jpg");
        ASSERT_NE(dialog, nullptr);
        key(Qt::Key_Return);
        QPointer<QLabel> problem = saver.problemLabel();
        close(closing, [&] { return problem ? problem->text() : QString(); }, QStringLiteral("保存先のフォルダが応答しません"));
        // The panel goes, as the event loop lets it go.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(dialog);
        letEverythingCome(closing);
        EXPECT_FALSE(state().isSingleExportInProgress());
        EXPECT_FALSE(fs::exists(base / "slow" / "x.jpg"));
        activate();
    }
    type(&window(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_NE(saver.activeDialog(), nullptr) << "the window goes on";
    saver.activeDialog()->reject();
}

// A name typed into a folder that is not there keeps the save panel open, saying so, as a folder
// that does not answer does; the name corrected, it saves.
TEST_F(FolderChooserWindowTest, TheSavePanelSaysSoOfAFolderThatIsNotThere) {
    fs::create_directories(base / "out");
    saver.setParent(&window());
    openPhotos();
    defaults.set(PreferenceKey::lastSingleExportFolder, (base / "out").string());
    const QPointer<FolderChooserDialog> dialog = savePanelWithNameTyped(base / "gone" / "x.jpg");
    ASSERT_NE(dialog, nullptr);
    key(Qt::Key_Return);
    const auto problem = [&] { return saver.problemLabel() ? saver.problemLabel()->text() : QString(); };
    EXPECT_TRUE(processUntil([&] { return problem() == QStringLiteral("書き出し先のフォルダが見つかりません"); }))
        << problem().toStdString();
    ASSERT_TRUE(dialog && dialog->isVisible()) << "the panel stays open";
    EXPECT_TRUE(saver.problemLabel()->isVisible());
    EXPECT_FALSE(state().isSingleExportInProgress());

    typeOver(saver.nameField(), base / "out" / "x.jpg");
    key(Qt::Key_Return);
    EXPECT_TRUE(processUntil([&] { return !dialog; }));
    settle();
    EXPECT_TRUE(fs::exists(base / "out" / "x.jpg"));
}

// A card mounted while the chooser is open shows among the places at once, and goes with its
// mount; the place chosen stays where it was.
TEST_F(FolderChooserWindowTest, AMountAppearingWhileTheChooserIsOpenIsAPlace) {
    mounts.mountinfo = mountinfoLine(30, "/", "ext4", "/dev/sda1");
    panel.setParent(&window());
    window().show();
    activate();
    inFolderChooser([&](FolderChooserDialog& dialog) {
        EXPECT_TRUE(mounts.isWatched());
        EXPECT_EQ(placeNames(dialog), (QStringList{QStringLiteral("ホーム"), QStringLiteral("コンピュータ")}));
        dialog.placeList()->setCurrentRow(1);
        const std::string withCard = mounts.mountinfo + mountinfoLine(41, "/run/media/tester/EOS_DIGITAL", "exfat", "/dev/sdc1") +
                                     mountinfoLine(42, "/mnt/nas", "nfs4", "nas:/photos");
        mounts.change(withCard);
        ASSERT_TRUE(processUntil([&] { return dialog.placeList()->count() == 4; })) << placeNames(dialog).join(u',').toStdString();
        EXPECT_EQ(placeNames(dialog), (QStringList{QStringLiteral("ホーム"), QStringLiteral("コンピュータ"),
                                                   QStringLiteral("EOS_DIGITAL"), QStringLiteral("nas")}));
        EXPECT_EQ(dialog.placeList()->currentRow(), 1);
        mounts.change(mounts.mountinfo.substr(0, mounts.mountinfo.find("42 ")));
        ASSERT_TRUE(processUntil([&] { return dialog.placeList()->count() == 3; }));
        EXPECT_EQ(dialog.placeList()->item(2)->text(), QStringLiteral("EOS_DIGITAL"));
    });
    EXPECT_FALSE(mounts.isWatched()) << "the watch ends with the dialog";
}

} // namespace
} // namespace sorvin::test
