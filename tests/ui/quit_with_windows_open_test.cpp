// A signal to end the program quits it whatever lies over the main window: the export sheet, idle
// or with its export under way, the other sheets, the settings window, the one-photo save panel,
// and a dialog or an alert waiting in a loop of its own. The edit made before is on disk, and an
// export under way is cancelled.

#include "persistence/selection_store.hpp"
#include "platform/stall_tolerant_executor.hpp"
#include "support/held_writes.hpp"
#include "ui/app/quit_signals.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_alert_presenter.hpp"
#include "ui/platform/qt_folder_panel.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_single_export_panel.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <csignal>
#include <set>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// Records are written on a worker of their own, so that the test's executor holds nothing but
// what the window starts (an export).
class QuitWithWindowsOpenTest : public MainWindowTest {
protected:
    QuitWithWindowsOpenTest() { recordExecutor = &recordWriter; }

    // The folder open at the window and its first photo hearted with Space.
    void openAndHeart() {
        openAtTheWindow();
        type(&window(), Qt::Key_Space);
        ASSERT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
    }
    SelectView& browsing() { return *window().rootView()->selectView(); }

    // `open` puts a window up, then SIGTERM comes: the program quits with the window and the main
    // window gone and the heart on disk.
    void expectASignalQuits(const std::function<void()>& open) {
        const QuitSignals signals{[this] { delegate().quitWithoutAsking(); }};
        const int code = runUntilQuit(
            [this](int) {
                if (const QWidget* modal = QApplication::activeModalWidget())
                    waitedIn.insert(modal->metaObject()->className());
                recordsWritten();
            },
                                      [&] {
                                          ::raise(SIGTERM);
                                          open();
                                      });
        EXPECT_EQ(code, 0);
        for (const QWidget* shown : QApplication::topLevelWidgets())
            EXPECT_FALSE(shown->isVisible()) << shown->metaObject()->className() << " is still up";
        recordsWritten();
        EXPECT_TRUE(SelectionStore(photos(), support).load().hearts.contains("a.jpg"));
    }
    // The record's writes that ended, and what the main queue has of them.
    void recordsWritten() {
        recordWriter.joinAll();
        queue.runPending();
    }

    ThreadExecutor recordWriter;
    // The dialogs and alerts whose own loops the quit ran in.
    std::set<std::string> waitedIn;
};

TEST_F(QuitWithWindowsOpenTest, TheExportSheetUpAfterAnEdit) {
    openAndHeart();
    expectASignalQuits([this] {
        QTest::mouseClick(browsing().bottomBar()->batchExportButton(), Qt::LeftButton);
        ASSERT_NE(browsing().exportSheet(), nullptr);
        ASSERT_TRUE(browsing().exportSheet()->isVisible());
    });
}

// The export waits on the test's executor, so it is under way when the signal comes: the quit
// cancels it, and once it runs it stops before its first photo and writes nothing.
TEST_F(QuitWithWindowsOpenTest, TheExportSheetWithItsExportUnderWay) {
    openAndHeart();
    const fs::path out = root / "out";
    fs::create_directories(out);
    type(&window(), Qt::Key_E, Qt::ControlModifier);
    ExportSheet* sheet = browsing().exportSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->destinationField()->setFocus();
    QTest::keyClicks(sheet->destinationField(), QString::fromStdString(out.string()));
    QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
    executor.runAll(); // the destination's check
    queue.runPending();
    ASSERT_EQ(sheet->model().stage, ExportSheetModel::Stage::copying);
    ASSERT_EQ(executor.waiting(), 1u) << "the export";
    const auto token = state().activeExportCancellation();
    ASSERT_NE(token, nullptr);

    expectASignalQuits([] {});
    EXPECT_TRUE(token->isCancelled());
    settle();
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(QuitWithWindowsOpenTest, TheOtherSheetsOfTheBrowsingScreen) {
    openAndHeart();
    expectASignalQuits([this] { state().presentPresetSave(); });
    window().show();
    state().setPresetSavePresented(false);
    settle();
    expectASignalQuits([this] { state().presentPresetOrganizer(); });
    window().show();
    state().setPresetOrganizerPresented(false);
    settle();
    expectASignalQuits([this] { state().presentMaskAddition(); });
}

TEST_F(QuitWithWindowsOpenTest, TheSettingsWindow) {
    openAndHeart();
    expectASignalQuits([this] {
        type(&window(), Qt::Key_Comma, Qt::ControlModifier);
        ASSERT_NE(window().settingsView(), nullptr);
        ASSERT_TRUE(window().settingsView()->isVisible());
    });
}

// The save panel of a one-photo export, as a sheet of the window.
TEST_F(QuitWithWindowsOpenTest, TheOnePhotoSavePanel) {
    openAndHeart();
    QtMainQueue liveQueue;
    StallTolerantExecutor threads;
    QtSingleExportPanel panel(liveQueue, threads);
    panel.setParent(&window());
    expectASignalQuits([&] {
        SingleExportPanelOptions options;
        options.proposedName = "a.jpg";
        options.startFolder = root.path();
        panel.present(options, {}, {});
        ASSERT_TRUE(panel.activeDialog()->isVisible());
    });
}

// A dialog waiting in a loop of its own, over a sheet: the export sheet's folder chooser.
TEST_F(QuitWithWindowsOpenTest, TheExportSheetsFolderChooser) {
    openAndHeart();
    QtMainQueue liveQueue;
    StallTolerantExecutor threads;
    QtFolderPanel panel(liveQueue, threads);
    panel.setParent(&window());
    expectASignalQuits([&] {
        type(&window(), Qt::Key_E, Qt::ControlModifier);
        ExportSheet* sheet = browsing().exportSheet();
        ASSERT_NE(sheet, nullptr);
        sheet->setFolderChooser([&](const fs::path& start) { return panel.chooseExportDestination(start); });
        for (QPushButton* button : sheet->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("選ぶ…")) QTest::mouseClick(button, Qt::LeftButton);
    });
    EXPECT_TRUE(waitedIn.contains("sorvin::FolderChooserDialog"));
}

// An alert waiting in a loop of its own: the program's warnings.
TEST_F(QuitWithWindowsOpenTest, AnAlert) {
    openAndHeart();
    QtAlertPresenter alerts;
    alerts.setParent(&window());
    expectASignalQuits([&] { alerts.showWarning("書き出しに失敗しました", "ファイル名を入力してください"); });
    EXPECT_TRUE(waitedIn.contains("QMessageBox"));
}

} // namespace
} // namespace sorvin::test
