// A share that stopped answering, at the real program: a real FUSE mount (bindfs) whose process is
// stopped, as a server gone away. Folders full of links into it are opened in the program's own
// folder chooser; then a local folder is opened and a photo saved into another by Ctrl+S. The
// questions the share holds never hold up those about the disks that answer, and the window never
// waits.

#include "app/app_state.hpp"
#include "support/breakable_fuse_mount.hpp"
#include "support/main_thread_work.hpp"
#include "support/temporary_home.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/sorvin_application.hpp"
#include "ui/folder_chooser_rows.hpp"
#include "ui/ui_test_fixture.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <string>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

class StoppedShareAtTheProgram : public ::testing::Test {
protected:
    static constexpr int kPatience = 30000; // milliseconds for any one wait, ample under sanitizers

    StoppedShareAtTheProgram() { application(); }
    ~StoppedShareAtTheProgram() override {
        if (share) share->resume();
        program.reset();
    }

    // Turns the event loop until the condition holds; false when it did not within the patience.
    static bool waitFor(const std::function<bool()>& condition) { return turnEventsUntil(condition, kPatience); }
    static void key(Qt::Key code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, code, modifiers);
    }
    static void typeOver(QLineEdit* field, const fs::path& path) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, QString::fromStdString(path.string()));
    }

    // Runs `drive` in the folder chooser that Ctrl+O brings up, in the loop the program runs it in;
    // whatever `drive` leaves open is cancelled. False when no chooser came.
    bool inFolderChooser(const std::function<void(FolderChooserDialog&)>& drive) {
        bool driven = false;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<FolderChooserDialog*>(QApplication::activeModalWidget());
            if (!dialog || driven) return;
            driven = true;
            look.stop();
            dialog->activateWindow();
            QApplication::processEvents();
            drive(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        look.start(10);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window(), Qt::Key_O, Qt::ControlModifier);
        return waitFor([&] { return driven && !QApplication::activeModalWidget(); });
    }

    // The one-photo save panel, a sheet over the window, while it is up.
    FolderChooserDialog* saveDialog() {
        for (auto* dialog : window().findChildren<FolderChooserDialog*>())
            if (dialog->isVisible()) return dialog;
        return nullptr;
    }
    AppState& state() { return program->state(); }
    MainWindow& window() { return program->mainWindow(); }

    TemporaryFolder root;
    TemporaryHome home{root.path() / "home"};
    std::unique_ptr<BreakableFuseMount> share;
    std::unique_ptr<SorvinApplication> program;
};

// Five folders of twenty links each into the stopped share, opened one after the other: their
// links show as not answering, and a link after them to a local folder as a folder. Ctrl+O starts
// in the last folder all the same; a local folder is then listed and opened, and Ctrl+S saves
// into a third, none of them waiting for the share.
TEST_F(StoppedShareAtTheProgram, FoldersOfLinksIntoItHoldUpNoOtherFolder) {
    const fs::path base = root.path();
    for (int link = 1; link <= 20; ++link) fs::create_directories(base / "source" / ("f" + std::to_string(100 + link)));
    share = std::make_unique<BreakableFuseMount>(base / "source", base / "share");
    if (!share->skipReason().empty()) GTEST_SKIP() << share->skipReason();
    for (int folder = 1; folder <= 5; ++folder) {
        const fs::path links = base / ("links" + std::to_string(folder));
        fs::create_directories(links);
        for (int link = 1; link <= 20; ++link)
            fs::create_directory_symlink(base / "share" / ("f" + std::to_string(100 + link)),
                                         links / ("s" + std::to_string(100 + link)));
    }
    for (const char* folder : {"photos", "other"}) {
        fs::create_directories(base / folder);
        fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), base / folder / "a.jpg");
    }
    fs::create_directory_symlink(base / "other", base / "links5" / "zz-near");
    fs::create_directories(base / "out");

    program = std::make_unique<SorvinApplication>(application());
    window().show();
    window().activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &window(); }));
    // The photo folder opened through the chooser, and the save panel shown once, before the share
    // stops.
    ASSERT_TRUE(inFolderChooser([&](FolderChooserDialog& dialog) {
        typeOver(dialog.pathField(), base / "photos");
        key(Qt::Key_Return);
        EXPECT_TRUE(waitFor([&] { return dialog.model().folder() == base / "photos"; }));
        key(Qt::Key_Return); // taken once it is listed
        EXPECT_TRUE(waitFor([&] { return !dialog.isVisible(); }));
    }));
    ASSERT_TRUE(waitFor([&] { return state().screen() == AppScreen::select; }));
    QTest::keyClick(&window(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return saveDialog(); }));
    saveDialog()->reject();
    ASSERT_TRUE(waitFor([&] { return !saveDialog() && QApplication::activeWindow() == &window(); }));

    share->stall(std::chrono::seconds(120));
    MainThreadWork work;
    const bool chooserCame = inFolderChooser([&](FolderChooserDialog& dialog) {
        EXPECT_TRUE(waitFor([&] { return dialog.model().listingState() == FolderChooserModel::PathState::folder; }));
        EXPECT_EQ(dialog.model().folder(), base / "photos") << "Ctrl+O starts in the last folder";
        const auto openTyped = [&](const fs::path& folder) {
            typeOver(dialog.pathField(), folder);
            key(Qt::Key_Return);
            return waitFor([&] {
                return dialog.model().folder() == folder &&
                       dialog.model().listingState() == FolderChooserModel::PathState::folder;
            });
        };
        for (int folder = 1; folder <= 5; ++folder) {
            ASSERT_TRUE(openTyped(base / ("links" + std::to_string(folder))))
                << "links" << folder << ": " << dialog.statusLabel()->text().toStdString();
            EXPECT_TRUE(waitFor([&] { return typeOf(dialog, QStringLiteral("s101")) == QStringLiteral("応答なし"); }));
        }
        EXPECT_TRUE(waitFor([&] { return typeOf(dialog, QStringLiteral("zz-near")) == QStringLiteral("フォルダ"); }))
            << "a link after those into the share";
        ASSERT_TRUE(openTyped(base / "other")) << dialog.statusLabel()->text().toStdString();
        key(Qt::Key_Return);
    });
    ASSERT_TRUE(chooserCame);
    EXPECT_TRUE(waitFor([&] { return state().sourceFolder() == base / "other" && state().screen() == AppScreen::select; }));

    window().activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &window(); }));
    QTest::keyClick(&window(), Qt::Key_S, Qt::ControlModifier);
    QPointer<FolderChooserDialog> panel;
    ASSERT_TRUE(waitFor([&] {
        panel = saveDialog();
        return panel && panel->model().listingState() == FolderChooserModel::PathState::folder;
    })) << "the save panel came and listed its folder";
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("singleExportName"));
    ASSERT_NE(name, nullptr);
    typeOver(name, base / "out" / "x.jpg");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !panel && fs::exists(base / "out" / "x.jpg"); })) << "saved beside the share";

    RecordProperty("longestMainThreadMilliseconds", static_cast<int>(work.longestMilliseconds()));
    EXPECT_LT(work.longestMilliseconds(), kLongestWorkMilliseconds);
    EXPECT_FALSE(share->resumedByWatchdog()) << "the share was waited for";
    share->resume();
}

} // namespace
} // namespace sorvin::test
