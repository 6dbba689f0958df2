// The record and the window: a save the disk holds never holds the window, quitting and closing
// say where the record stands, and a protected record is named wherever it lies.

#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "shell/quit_confirmation.hpp"
#include "support/held_writes.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui_test_fixture.hpp"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <fstream>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// What the quit alert said, read the moment it came up.
struct AlertSeen {
    QString informative;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool recordWasHeld = false; // the stalled write had not ended then
};

// Records are written on a worker of their own, through a disk the test can stall.
class RecordSavingWindowTest : public MainWindowTest {
protected:
    RecordSavingWindowTest() {
        recordFiles = &files;
        recordExecutor = &recordWriter;
    }
    ~RecordSavingWindowTest() override { files.release(); }

    // The folder open at the window, with the keyboard there.
    void openAtTheWindow() {
        addStandardPhotos();
        window().show();
        activate();
        folderPanel.answer = photos();
        type(&window(), Qt::Key_O, Qt::ControlModifier);
        settle();
        ASSERT_EQ(state().screen(), AppScreen::select);
    }

    // Space hearts the photo; its save starts and the disk holds it.
    void heartWhileTheDiskStalls() {
        files.hold();
        type(&window(), Qt::Key_Space);
        queue.advance(AppState::kSaveDelay + 0.1);
        ASSERT_TRUE(files.waitUntilWriteStarted());
    }

    // Runs the quit or the close while the write stays held, answering the alert with the button
    // of the given text. The event loop must keep turning: half a second before the wait's limit
    // no alert is up, at the limit it is. Should the window never get there, the write is let go
    // so that the test ends.
    AlertSeen pastTheLimit(const std::function<void()>& quitOrClose, const QString& answer) {
        AlertSeen seen;
        int turns = 0;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            if (auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                turn.stop();
                seen = {alert->informativeText(),
                        alert->defaultButton() ? alert->defaultButton()->text() : QString(), alert->icon(),
                        files.writes().empty()};
                EXPECT_EQ(turns, 2) << "the alert came before the wait's limit";
                for (QAbstractButton* button : alert->buttons())
                    if (button->text() == answer) button->click();
                return;
            }
            ++turns;
            if (turns == 1) {
                queue.advance(AppState::kFinishSavingWait - 0.5);
            } else if (turns == 2) {
                queue.advance(1.0);
            } else if (turns >= 200) {
                if (turns == 200) ADD_FAILURE() << "no alert at the wait's limit";
                files.release();
                settle();
            }
        });
        turn.start(1);
        quitOrClose();
        return seen;
    }

    SelectionLoadResult record() {
        return SelectionStore(photos(), root / "support", root / "legacy-support").load();
    }
    void expectStillWritingAlert(const AlertSeen& seen) {
        const QuitConfirmation said = QuitConfirmation::make(RecordSaving::stillWriting);
        EXPECT_EQ(seen.informative.toStdString(), said.informativeText);
        EXPECT_EQ(seen.defaultButton, QStringLiteral("キャンセル"));
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_TRUE(seen.recordWasHeld);
    }

    HeldWrites files;
    ThreadExecutor recordWriter; // after the files: joined while they are there
};

// Ctrl+Q with the record's write stalled: the window waits at most the limit, says the save goes
// on, and 終了 closes the window; the process then waits for the write, which ends with the heart,
// and nothing is written a second time.
TEST_F(RecordSavingWindowTest, QuittingPastTheLimitSaysTheSaveGoesOnAndItDoes) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    AlertSeen seen;
    bool closed = false;
    QTimer::singleShot(0, [&] {
        seen = pastTheLimit([&] { type(&window(), Qt::Key_Q, Qt::ControlModifier); }, QStringLiteral("終了"));
        closed = !window().isVisible();
        QCoreApplication::exit(0); // also when the quit did not end the loop
    });
    QApplication::exec();
    expectStillWritingAlert(seen);
    EXPECT_TRUE(closed);

    files.release();
    recordWriter.joinAll();
    const SelectionLoadResult saved = record();
    EXPECT_FALSE(saved.warning);
    EXPECT_TRUE(saved.hearts.contains("a.jpg"));
    EXPECT_EQ(files.writes().size(), 1u) << "the record was written again at the end";
}

// The close button the same way; キャンセル keeps the window, the write ends when the disk lets it,
// and the next close finds everything written and closes without a word.
TEST_F(RecordSavingWindowTest, ClosingPastTheLimitCanBeCancelledAndTheSaveEndsLater) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    bool closed = true;
    const AlertSeen seen = pastTheLimit([&] { closed = window().close(); }, QStringLiteral("キャンセル"));
    expectStillWritingAlert(seen);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window().isVisible());

    files.release();
    recordWriter.joinAll();
    settle();
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
    bool asked = false;
    delegate().confirmQuit = [&](QWidget*, const QuitConfirmation&) { return asked = true; };
    EXPECT_TRUE(window().close());
    EXPECT_FALSE(asked);
}

// Another folder opens at once while the first one's save is held; opening the first again, also
// through a link to it, waits on the loading screen saying so, however long the disk takes, and
// then shows the heart.
TEST_F(RecordSavingWindowTest, AFolderSwitchWaitsOnlyForTheSameFoldersSave) {
    const fs::path other = root / "other";
    fs::create_directories(other);
    fs::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), other / "x.jpg");
    openAtTheWindow();
    heartWhileTheDiskStalls();

    folderPanel.answer = other;
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    executor.runAll(); // the last folder is checked: the panel answers and the folder opens
    queue.runPending();
    QApplication::processEvents(); // the window's turn before the scan's result, as in the program
    settle();
    EXPECT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(state().sourceFolder(), other);
    EXPECT_TRUE(files.writes().empty()) << "the first folder's write is still held";

    fs::create_directory_symlink(photos(), root / "link");
    folderPanel.answer = root / "link";
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    executor.runAll();
    queue.runPending();
    QApplication::processEvents();
    settle();
    queue.advance(600);
    LoadingView* loading = window().rootView()->loadingView();
    EXPECT_EQ(window().rootView()->currentScreen(), static_cast<QWidget*>(loading));
    EXPECT_TRUE(loading->waitReason()->isVisible());
    EXPECT_EQ(loading->waitReason()->text(), QStringLiteral("保存が終わるのを待っています"));

    files.release();
    recordWriter.joinAll();
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
    EXPECT_FALSE(loading->waitReason()->isVisibleTo(loading));
}

// The photo folder takes no record, so it lives in the user's data folder; one there of a later
// version is never written over, and the window says so with its reason rather than that the record
// is kept elsewhere, for as long as the folder is open. Saves made meanwhile bring no message.
TEST_F(RecordSavingWindowTest, AProtectedRecordInTheDataFolderIsNamed) {
    class RefusingFolder : public FileManager {
    public:
        explicit RefusingFolder(fs::path folder) : folder_(std::move(folder)) {}
        FileVersion writeAtomically(const fs::path& path, std::string_view bytes,
                                    const std::function<void()>& beforeReplacing) override {
            if (path.parent_path() == folder_)
                throw std::system_error(std::make_error_code(std::errc::read_only_file_system), "write");
            return FileManager::writeAtomically(path, bytes, beforeReplacing);
        }

    private:
        fs::path folder_;
    } readOnlyPhotos(photos());
    recordFiles = &readOnlyPhotos;
    const fs::path fallback = SelectionStore(photos(), root / "support").fallbackURL();
    const std::string newer = R"({"version": 3, "app": "Sorvin", "updatedAt": "t", "photos": {}})";
    fs::create_directories(fallback.parent_path());
    std::ofstream(fallback) << newer;

    openAtTheWindow();
    auto& line = *window().rootView()->selectView()->warningLine();
    const QString said = QStringLiteral(
        "⚠ この記録は保護されているため、ここでの変更は保存されません（新しいバージョンで作られた記録です）");
    QApplication::processEvents();
    EXPECT_TRUE(line.isVisible());
    EXPECT_EQ(line.text(), said);

    type(&window(), Qt::Key_Space);
    queue.advance(AppState::kSaveDeadline);
    recordWriter.joinAll();
    settle();
    QApplication::processEvents();
    EXPECT_EQ(line.text(), said);
    EXPECT_FALSE(state().toastText()) << "the refusal has no message of its own: " << *state().toastText();
    EXPECT_EQ(AtomicFile::read(fallback), newer);
    EXPECT_FALSE(fs::exists(photos() / "sorvin.json"));
}

} // namespace
} // namespace sorvin::test
