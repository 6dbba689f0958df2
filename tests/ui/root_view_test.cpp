#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/home/home_view.hpp"
#include "ui/home/recent_folder_row.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui_test_fixture.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <cstdlib>

namespace sorvin::test {
namespace {

class RootViewTest : public MainWindowTest {
protected:
    RootView& root() { return *window().rootView(); }
};

TEST_F(RootViewTest, ScreensFollowTheStateFromHomeThroughLoadingToBrowsing) {
    addStandardPhotos();
    window().show();
    EXPECT_EQ(root().currentScreen(), root().homeView());

    state().open(photos());
    EXPECT_EQ(state().screen(), AppScreen::loading);
    EXPECT_EQ(root().currentScreen(), root().loadingView());
    EXPECT_EQ(root().loadingView()->counter()->text(), "0 / 0");
    EXPECT_EQ(root().loadingView()->progressBar()->value(), 0);

    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(root().currentScreen(), root().selectView());
    EXPECT_EQ(root().selectView()->shownName().toStdString(),
              std::filesystem::path(currentPath()).filename().string());
    // The screen reads the state once the change's event is handled.
    state().move(1);
    QApplication::processEvents();
    EXPECT_EQ(root().selectView()->shownName().toStdString(),
              std::filesystem::path(currentPath()).filename().string());
}

TEST_F(RootViewTest, CancellingTheScanReturnsHomeWithoutALibrary) {
    addStandardPhotos();
    window().show();
    state().open(photos());
    ASSERT_EQ(root().currentScreen(), root().loadingView());
    root().loadingView()->cancelButton()->click();
    settle();
    EXPECT_EQ(state().screen(), AppScreen::home);
    EXPECT_EQ(state().library(), nullptr);
    EXPECT_EQ(root().currentScreen(), root().homeView());
}

TEST_F(RootViewTest, ToastShowsOverEveryScreenWithoutTakingClicks) {
    window().show();
    state().showToasts({"フォルダが見つかりません"}, 2.0);
    ToastView* toast = root().toastView();
    EXPECT_EQ(toast->text(), QStringLiteral("フォルダが見つかりません"));
    EXPECT_TRUE(toast->capsule()->isVisible());
    EXPECT_EQ(toast->opacity(), 1.0);
    EXPECT_TRUE(toast->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(toast->capsule()->testAttribute(Qt::WA_TransparentForMouseEvents));
    // Centred, its bottom 80 points above the bottom of the window content.
    const QRect capsule = toast->capsule()->geometry();
    EXPECT_EQ(capsule.bottom() + 1, root().height() - ToastView::bottomPadding);
    EXPECT_NEAR(capsule.center().x(), root().width() / 2, 1);
    queue.advance(2.0 + AppState::kToastFade + 0.01);
    EXPECT_FALSE(toast->capsule()->isVisible());
}

TEST_F(RootViewTest, LongToastsWrapInsideTheWindowAndTheIndicatorSharesTheCapsule) {
    window().show();
    std::string longMessage;
    for (int i = 0; i < 30; ++i)
        longMessage += "写真を書き出せませんでした。";
    state().showToasts({longMessage}, 2.0);
    const QRect capsule = root().toastView()->capsule()->geometry();
    EXPECT_LE(capsule.width(), root().width());
    EXPECT_GE(capsule.left(), 0);
    EXPECT_GT(capsule.height(), 2 * 20); // more than one line
    EXPECT_EQ(capsule.bottom() + 1, root().height() - ToastView::bottomPadding);

    OriginalPhotoIndicator indicator;
    EXPECT_EQ(indicator.text(), QStringLiteral("元の写真"));
    EXPECT_TRUE(indicator.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(indicator.font(), root().toastView()->capsule()->font());
}

TEST_F(RootViewTest, HomeScreenRecentFoldersAndOptions) {
    addStandardPhotos();
    window().show();
    HomeView* home = root().homeView();
    EXPECT_FALSE(home->showsRecentFolders());

    state().open(photos());
    settle();
    state().cancelLoading(); // back home with the folder recorded
    ASSERT_EQ(state().screen(), AppScreen::home);
    ASSERT_EQ(home->rows().size(), 1u);
    EXPECT_TRUE(home->showsRecentFolders());
    EXPECT_EQ(home->rows()[0]->name(), QStringLiteral("photos"));

    const bool subfolders = state().includeSubfolders();
    home->subfoldersBox()->click();
    EXPECT_EQ(state().includeSubfolders(), !subfolders);
    home->lowMemoryBox()->click();
    EXPECT_TRUE(state().lowMemoryMode());
    EXPECT_TRUE(home->lowMemoryBox()->isChecked());
    EXPECT_FALSE(state().toastText()); // no toast for the option on the home screen

    // A folder that disappeared: the row goes and a toast says so.
    std::filesystem::remove_all(photos());
    QTest::mouseClick(home->rows()[0], Qt::LeftButton, {}, QPoint(10, home->rows()[0]->height() / 2));
    QApplication::processEvents();
    settle();
    EXPECT_TRUE(state().recentFolders().empty());
    EXPECT_FALSE(home->showsRecentFolders());
    EXPECT_EQ(state().toastText(), std::optional<std::string>("フォルダが見つかりません"));
}

// Whether a folder is there is asked in the background, never on the main thread: a disk that has
// stopped answering (the check held, the executor not run) leaves the window free. Ctrl+O then
// opens the folder panel at home once the wait is over, and a click on a recent folder says that
// the folder does not answer, keeping it in the list. A check held this way is asked once.
TEST_F(RootViewTest, ADiskThatStoppedAnsweringNeverHoldsTheWindow) {
    addStandardPhotos();
    window().show();
    state().open(photos());
    settle();
    state().cancelLoading(); // back home with the folder recorded as the last and a recent one
    ASSERT_EQ(state().screen(), AppScreen::home);
    activate();
    const std::filesystem::path home = std::getenv("HOME") ? std::getenv("HOME") : "/";

    const std::size_t checks = executor.started();
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(executor.started(), checks + 1) << "one check of the last folder";
    EXPECT_TRUE(folderPanel.startFolders.empty()) << "no panel before the answer or the end of the wait";
    queue.advance(AppState::kFolderCheckWait * 0.9);
    EXPECT_TRUE(folderPanel.startFolders.empty());
    queue.advance(AppState::kFolderCheckWait * 0.2);
    ASSERT_EQ(folderPanel.startFolders.size(), 1u);
    EXPECT_EQ(folderPanel.startFolders[0], home);
    EXPECT_FALSE(state().isFolderPanelPresented());
    settle(); // the disk answers late: nothing more comes of it
    EXPECT_EQ(folderPanel.startFolders.size(), 1u);
    // A disk that answers in time: the panel starts at the last folder.
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    settle();
    ASSERT_EQ(folderPanel.startFolders.size(), 2u);
    EXPECT_EQ(folderPanel.startFolders[1], FolderScanner::standardized(photos()));

    HomeView* homeView = root().homeView();
    QApplication::processEvents();
    ASSERT_EQ(homeView->rows().size(), 1u);
    RecentFolderRow* row = homeView->rows()[0];
    const auto click = [row] {
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(10, row->height() / 2));
        QApplication::processEvents(); // the row acts once the click is handled
    };
    click();
    EXPECT_EQ(state().screen(), AppScreen::home);
    queue.advance(AppState::kRecentFolderCheckWait + 0.01);
    EXPECT_EQ(state().toastText(), std::optional<std::string>("フォルダが応答しません"));
    EXPECT_EQ(state().recentFolders().size(), 1u) << "a folder that does not answer is not gone";
    EXPECT_EQ(state().screen(), AppScreen::home);
    // Asked again once the disk answers, it opens.
    click();
    executor.runAll(); // the check held before answers
    queue.runPending();
    QApplication::processEvents(); // the window's turn before the scan's result, as in the program
    settle();
    EXPECT_EQ(state().screen(), AppScreen::select);
}

// The last folder's disk has stopped answering: Ctrl+O waits for its check (held), and meanwhile
// another folder is opened from the recent list. That folder opens and the chooser never comes,
// not even once the held check answers; the window takes keys: ↓ moves, Space hearts, and Ctrl+O
// shows the chooser.
TEST_F(RootViewTest, ARecentFolderOpenedWhileTheChoosersCheckIsOutLeavesTheWindowFree) {
    addStandardPhotos();
    const std::filesystem::path other = photos().parent_path() / "other";
    std::filesystem::copy(photos(), other);
    window().show();
    state().open(other);
    settle();
    state().open(photos());
    state().cancelLoading(); // home, the photo folder the last one, the other folder a recent one
    settle();
    ASSERT_EQ(state().screen(), AppScreen::home);
    ASSERT_EQ(executor.waiting(), 0u);
    activate();

    type(&window(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(executor.waiting(), 1u) << "the check of the last folder";
    // Everything but that check runs from now on.
    const auto settleWithTheCheckHeld = [this] {
        for (int round = 0; round < 100 && (executor.waiting() > 1 || queue.pendingCount() > 0); ++round) {
            while (executor.waiting() > 1) executor.runAt(1);
            queue.runPending();
            QApplication::processEvents();
        }
    };
    queue.advance(AppState::kFolderCheckWait * 0.5);
    HomeView* home = root().homeView();
    QApplication::processEvents();
    ASSERT_EQ(home->rows().size(), 1u);
    RecentFolderRow* row = home->rows()[0];
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(10, row->height() / 2));
    QApplication::processEvents();
    settleWithTheCheckHeld();
    queue.advance(AppState::kFolderCheckWait);
    settleWithTheCheckHeld();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(other));
    EXPECT_TRUE(folderPanel.startFolders.empty()) << "the chooser gave way to the recent folder";
    EXPECT_FALSE(state().isFolderPanelPresented());

    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        type(&window(), k, modifiers);
        settleWithTheCheckHeld();
    };
    const std::string first = currentPath();
    key(Qt::Key_Down);
    EXPECT_NE(currentPath(), first) << "↓ moves";
    key(Qt::Key_Space);
    EXPECT_TRUE(state().library()->containsHeart(currentPath(), RetouchSlot::a)) << "Space hearts";
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(folderPanel.startFolders.size(), 1u) << "Ctrl+O shows the chooser";
    EXPECT_EQ(folderPanel.startFolders[0], FolderScanner::standardized(other));
    EXPECT_FALSE(state().isFolderPanelPresented());

    // The held check answers at last: nothing comes of it.
    executor.runAt(0);
    settle();
    EXPECT_EQ(folderPanel.startFolders.size(), 1u);
    EXPECT_FALSE(state().isFolderPanelPresented());
}

// A folder's name or a file's metadata that looks like markup shows in its tooltip as written.
TEST_F(RootViewTest, ToolTipsShowTextThatLooksLikeMarkupAsWritten) {
    const QString path = QStringLiteral("/photos/<b>trip</b> & <img src=\"x.png\">");
    const RecentFolderRow row(path, QStringLiteral("/home/someone"), [] {}, [] {});
    QTextDocument shown;
    shown.setHtml(row.toolTip());
    EXPECT_TRUE(Qt::mightBeRichText(row.toolTip()));
    EXPECT_EQ(shown.toPlainText(), path);

    const RecentFolderRow plain(QStringLiteral("/photos/trip"), QStringLiteral("/home/someone"), [] {}, [] {});
    EXPECT_EQ(plain.toolTip(), QStringLiteral("/photos/trip"));
}

} // namespace
} // namespace sorvin::test
