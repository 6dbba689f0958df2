// The record and the window: a save the disk holds never holds the window, quitting and closing
// say where the record stands, a signal to end quits the same way without asking, a folder left
// keeps what the disk refused until it is written, and a protected record is named wherever it
// lies.

#include "persistence/selection_store.hpp"
#include "persistence/selection_store_lock.hpp"
#include "platform/atomic_file.hpp"
#include "shell/quit_confirmation.hpp"
#include "support/held_writes.hpp"
#include "ui/app/quit_signals.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/command_cheat_sheet_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/loading/loading_view.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui_test_fixture.hpp"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <csignal>
#include <fstream>
#include <numbers>
#include <optional>
#include <thread>
#include <variant>

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
    // so that the test ends. Given `afterTheWrite`, the write is let go once the alert is up, and
    // what the alert says once it has ended is read there before the answer; it stays empty when
    // the alert went by itself.
    AlertSeen pastTheLimit(const std::function<void()>& quitOrClose, const QString& answer,
                           std::optional<AlertSeen>* afterTheWrite = nullptr) {
        AlertSeen seen;
        bool asked = false;
        int turns = 0;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (alert && !asked) {
                asked = true;
                seen = read(*alert);
                EXPECT_EQ(turns, 2) << "the alert came before the wait's limit";
                if (afterTheWrite) {
                    files.release();
                    writesEnd();
                    return;
                }
            }
            if (asked) {
                turn.stop();
                if (!alert) return;
                if (afterTheWrite) *afterTheWrite = read(*alert);
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
    AlertSeen read(const QMessageBox& alert) {
        return {alert.informativeText(), alert.defaultButton() ? alert.defaultButton()->text() : QString(),
                alert.icon(), files.writes().empty()};
    }

    // Runs the event loop until the program quits (see MainWindowTest); the write is let go should
    // it never quit.
    int runUntilQuit(const std::function<void(int turn)>& eachTurnOfAWait,
                     const std::function<void()>& start) {
        return MainWindowTest::runUntilQuit(eachTurnOfAWait, start, [this] { files.release(); });
    }
    // Answers a quit alert, should one come, with キャンセル; true when one came.
    static bool dismissAlert() {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (alert) alert->reject();
        return alert != nullptr;
    }
    // The record's writes that ended and what the main queue has of them.
    void writesEnd() {
        recordWriter.joinAll();
        settle();
    }

    SelectionLoadResult record(const fs::path& folder) {
        return SelectionStore(folder, root / "support", root / "legacy-support").load();
    }
    SelectionLoadResult record() { return record(photos()); }
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

// Ctrl+Q past the limit, and the disk lets the write end while the alert asks: the same alert then
// says that everything is saved, as the quit asks when the write ends in time, 終了 its default;
// キャンセル keeps the window.
TEST_F(RecordSavingWindowTest, TheQuitAlertSaysSoOnceTheSaveEnds) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    std::optional<AlertSeen> after;
    const AlertSeen seen = pastTheLimit([&] { type(&window(), Qt::Key_Q, Qt::ControlModifier); },
                                        QStringLiteral("キャンセル"), &after);
    expectStillWritingAlert(seen);
    ASSERT_TRUE(after.has_value()) << "the alert went";
    const QuitConfirmation written = QuitConfirmation::make(RecordSaving::written);
    EXPECT_EQ(after->informative.toStdString(), written.informativeText);
    EXPECT_EQ(after->defaultButton, QStringLiteral("終了"));
    EXPECT_EQ(after->icon, QMessageBox::Information);
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
}

// The close button past the limit: once the write ends, the alert goes by itself and the window
// closes, as it closes without a word when the write ends in time; when the write fails, the alert
// says so instead and stays.
TEST_F(RecordSavingWindowTest, TheCloseAlertGoesOnceTheSaveEndsOrSaysItFailed) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    files.refuse(std::make_error_code(std::errc::no_space_on_device));
    bool closed = true;
    std::optional<AlertSeen> after;
    AlertSeen seen = pastTheLimit([&] { closed = window().close(); }, QStringLiteral("キャンセル"), &after);
    expectStillWritingAlert(seen);
    ASSERT_TRUE(after.has_value()) << "the alert went";
    const QuitConfirmation failed = QuitConfirmation::make(RecordSaving::failed);
    EXPECT_EQ(after->informative.toStdString(), failed.informativeText);
    EXPECT_EQ(after->defaultButton, QStringLiteral("キャンセル"));
    EXPECT_FALSE(closed);

    files.stopRefusing();
    type(&window(), Qt::Key_Space); // the heart goes, and comes back
    type(&window(), Qt::Key_Space);
    files.hold();
    after.reset();
    seen = pastTheLimit([&] { closed = window().close(); }, QStringLiteral("キャンセル"), &after);
    expectStillWritingAlert(seen);
    EXPECT_FALSE(after.has_value()) << "the alert still asked: " << after->informative.toStdString();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(window().isVisible());
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
}

// A share that stalls for a while as the heart's record is written, where the record can only be
// renamed blind and the rename itself takes 20 s: once the share answers, the save ends within
// seconds, and the window then closes without a word, the heart written.
TEST_F(RecordSavingWindowTest, OnceAStalledShareAnswersTheSaveEndsWithinSeconds) {
    AtomicFile::setExchangeRefusalForTesting(true, true);
    const std::shared_ptr<void> exchangeAgain(nullptr, [](void*) { AtomicFile::setExchangeRefusalForTesting(false); });
    files.reportBlindRenamesTaking(std::chrono::seconds(20));
    openAtTheWindow();
    heartWhileTheDiskStalls();
    std::this_thread::sleep_for(std::chrono::seconds(2)); // the stall
    const auto answered = std::chrono::steady_clock::now();
    files.release();
    recordWriter.joinAll();
    EXPECT_LT(std::chrono::steady_clock::now() - answered, std::chrono::seconds(3));
    settle();
    bool asked = false;
    delegate().confirmQuit = [&](QWidget*, const QuitConfirmation&) { return asked = true; };
    EXPECT_TRUE(window().close());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
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

// Another copy of the program that has the folder open is named on the loading screen, in a
// sentence that is shown whole, whatever the width of the window.
TEST_F(RecordSavingWindowTest, TheCopyWaitedForIsNamedInAWholeSentence) {
    const fs::path other = root / "other";
    fs::create_directories(other);
    fs::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), other / "x.jpg");
    openAtTheWindow();
    std::optional<fs::path> lockFile;
    for (const auto& entry : fs::directory_iterator(support))
        if (entry.path().extension() == ".lock") lockFile = entry.path();
    ASSERT_TRUE(lockFile) << "the open folder's lock";
    const auto openWithCtrlO = [this](const fs::path& folder) {
        folderPanel.answer = folder;
        type(&window(), Qt::Key_O, Qt::ControlModifier);
        executor.runAll(); // the last folder is checked
        queue.runPending();
        QApplication::processEvents();
        settle();
    };
    openWithCtrlO(other);
    writesEnd();
    // The first folder is let go; another copy takes it.
    auto another = FileLock::tryAcquire(*lockFile, SelectionStoreLock::holderText());
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileLock>>(another));

    LoadingView* loading = window().rootView()->loadingView();
    for (const int width : {1360, 1400, 1600, 2400}) {
        SCOPED_TRACE(width);
        window().resize(width, 900);
        openWithCtrlO(photos());
        ASSERT_EQ(window().rootView()->currentScreen(), static_cast<QWidget*>(loading));
        const QLabel* reason = loading->waitReason();
        ASSERT_TRUE(reason->isVisible());
        EXPECT_TRUE(reason->text().startsWith(QStringLiteral("別に起動している Sorvin（プロセス ")));
        EXPECT_TRUE(reason->text().endsWith(QStringLiteral("閉じるのを待っています")));
        const QRect room = reason->contentsRect();
        const QRect needed = QFontMetrics(reason->font())
                                 .boundingRect(room, int(reason->alignment()) | Qt::TextWordWrap, reason->text());
        EXPECT_TRUE(room.contains(needed)) << "needs " << needed.width() << "x" << needed.height() << ", has "
                                           << room.width() << "x" << room.height();
        EXPECT_TRUE(loading->rect().contains(QRect(reason->mapTo(loading, QPoint()), reason->size())));
        QTest::mouseClick(loading->cancelButton(), Qt::LeftButton);
        ASSERT_EQ(state().screen(), AppScreen::home);
    }
}

// A signal to end the program, raised in this process, quits the window the way the program's
// signals do; the heart's write stalls meanwhile.
class SignalledQuitTest : public RecordSavingWindowTest {
protected:
    SignalledQuitTest() {
        openAtTheWindow();
        heartWhileTheDiskStalls();
    }
    // The program quit, the window is gone, and the write, once the disk lets it go, has the heart.
    void expectQuitWithTheHeartWritten(int code) {
        EXPECT_EQ(code, 0);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(window().isVisible());
        files.release();
        recordWriter.joinAll();
        EXPECT_TRUE(record().hearts.contains("a.jpg"));
    }

    QuitSignals signals{[this] { delegate().quitWithoutAsking(); }};
};

// With the record's write stalled: no alert asks, the window stays up while the quit waits, at
// the wait's limit the program quits; the write goes on and ends with the heart.
TEST_F(SignalledQuitTest, ASignalWaitsWithinTheLimitAndQuitsWithoutAsking) {
    bool alerted = false;
    bool upBeforeTheLimit = false;
    const int code = runUntilQuit(
        [&](int turn) {
            alerted |= dismissAlert();
            if (turn == 1) {
                queue.advance(AppState::kFinishSavingWait - 0.5);
                upBeforeTheLimit = window().isVisible();
            } else if (turn == 2) {
                queue.advance(1.0);
            }
        },
        [] { ::raise(SIGTERM); });
    EXPECT_FALSE(alerted);
    EXPECT_TRUE(upBeforeTheLimit);
    EXPECT_TRUE(files.writes().empty()) << "the write was let go before the quit";
    expectQuitWithTheHeartWritten(code);
}

// A signal that comes while Ctrl+Q waits for the record, or while its alert asks, answers for the
// user: the program quits once the record is written, or at the wait's limit, without an alert
// or with the alert gone.
TEST_F(SignalledQuitTest, ASignalDuringTheQuitWaitQuitsOnceTheRecordIsWritten) {
    bool alerted = false;
    const int code = runUntilQuit(
        [&](int turn) {
            alerted |= dismissAlert();
            if (turn == 1) {
                ::raise(SIGTERM);
            } else {
                files.release();
                writesEnd();
            }
        },
        [this] { type(&window(), Qt::Key_Q, Qt::ControlModifier); });
    EXPECT_FALSE(alerted);
    expectQuitWithTheHeartWritten(code);
}

TEST_F(SignalledQuitTest, ASignalWhileTheQuitAlertAsksQuits) {
    bool signalled = false;
    const int code = runUntilQuit(
        [&](int) {
            if (!signalled && qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                signalled = true;
                ::raise(SIGTERM);
            }
            queue.advance(AppState::kFinishSavingWait);
        },
        [this] { type(&window(), Qt::Key_Q, Qt::ControlModifier); });
    EXPECT_TRUE(signalled) << "no alert came at the wait's limit";
    expectQuitWithTheHeartWritten(code);
}

// Ctrl held shows the keyboard's picture; Ctrl+Q while the disk stalls waits with the user's
// input held back, the picture's key release among it: the picture goes when the wait starts,
// and does not come back during it.
TEST_F(RecordSavingWindowTest, TheKeyboardPictureGoesWhenTheQuitWaits) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    auto& browsing = *window().rootView()->selectView();
    press(&window(), Qt::Key_Control);
    queue.advance(AppState::kCheatSheetDelay + 0.05);
    QApplication::processEvents();
    ASSERT_NE(browsing.visibleCheatSheet(), nullptr);

    std::vector<bool> shownDuringTheWait;
    bool alerted = false;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        if (dismissAlert()) {
            alerted = true;
            turn.stop();
            return;
        }
        shownDuringTheWait.push_back(browsing.visibleCheatSheet() != nullptr);
        queue.advance(shownDuringTheWait.size() < 3 ? AppState::kCheatSheetDelay
                                                    : AppState::kFinishSavingWait);
    });
    turn.start(1);
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(alerted);
    EXPECT_GE(shownDuringTheWait.size(), 3u);
    EXPECT_EQ(std::count(shownDuringTheWait.begin(), shownDuringTheWait.end(), true), 0);
    EXPECT_TRUE(window().isVisible());
}

// A grey picture of stripes that lean by two degrees, which straightening turns back.
void writeLeaningStripes(const fs::path& file) {
    QImage picture(800, 600, QImage::Format_RGB32);
    const double lean = std::tan(2.0 * std::numbers::pi / 180.0);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const double u = x + 0.5 + (y + 0.5 - 300) * lean;
            const double phase = std::fmod(std::fmod(u, 40.0) + 40.0, 40.0) / 40.0;
            const int grey = static_cast<int>(
                128 + 100 * std::clamp(4 * std::sin(2 * std::numbers::pi * phase), -1.0, 1.0));
            picture.setPixel(x, y, qRgb(grey, grey, grey));
        }
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string()), "JPEG", 95));
}

// Shift+T, then Ctrl+Q while the heart's write stalls: the straightening lands during the wait
// and is saved too before the alert speaks, which then says that everything is saved, as it is.
TEST_F(RecordSavingWindowTest, AStraighteningThatLandsDuringTheQuitWaitIsSavedBeforeTheAlert) {
    writeLeaningStripes(photos() / "a.jpg");
    openAtTheWindow(false);
    heartWhileTheDiskStalls();
    type(&window(), Qt::Key_T, Qt::ShiftModifier);
    ASSERT_GT(executor.waiting(), 0u) << "no straightening started";

    QString said;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        if (auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = alert->informativeText();
            alert->reject();
            turn.stop();
            return;
        }
        executor.runAll(); // the straightening ends
        files.release();
        writesEnd();
    });
    turn.start(1);
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(said.toStdString(), QuitConfirmation::make(RecordSaving::written).informativeText);
    const SelectionLoadResult saved = record();
    EXPECT_TRUE(saved.hearts.contains("a.jpg"));
    ASSERT_TRUE(saved.rotations.contains("a.jpg"));
    EXPECT_NE(saved.rotations.at("a.jpg"), 0.0);
}

// Ctrl+Q answered by a stand-in for the user, with the saves' reports turning meanwhile; what the
// alert said each time.
class LeftFolderTest : public RecordSavingWindowTest {
protected:
    LeftFolderTest() {
        fs::create_directories(other());
        fs::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), other() / "x.jpg");
        delegate().confirmQuit = [this](QWidget*, const QuitConfirmation& confirmation) {
            said.push_back(confirmation.informativeText);
            return false;
        };
        QObject::connect(&turn, &QTimer::timeout, [this] { settle(); });
        turn.start(0);
    }
    fs::path other() const { return root / "other"; }
    // Ctrl+O to the folder; the writes it starts end unless the disk holds them.
    void openAt(const fs::path& folder, bool writesEnd = true) {
        folderPanel.answer = folder;
        type(&window(), Qt::Key_O, Qt::ControlModifier);
        executor.runAll(); // the last folder is checked: the panel answers and the folder opens
        queue.runPending();
        QApplication::processEvents(); // the window's turn before the scan's result
        settle();
        if (writesEnd) this->writesEnd();
        ASSERT_EQ(state().sourceFolder(), folder);
        ASSERT_EQ(state().screen(), AppScreen::select);
    }
    // Whether the window shows the message within the next few seconds, after what shows now.
    bool toastSays(const std::string& message) {
        for (int step = 0; step < 40; ++step) {
            QApplication::processEvents();
            if (window().rootView()->toastView()->text().toStdString() == message) return true;
            queue.advance(0.1);
        }
        return false;
    }

    std::vector<std::string> said;
    QTimer turn;
};

const std::string kPhotosNotSaved = "「photos」の記録を保存できませんでした（空き容量が足りません）";

// A heart, and at once another folder, on a full disk: the toast over the new folder names the
// folder left, quitting says that changes are not saved, and once the disk has room the next
// save of the folder open writes the one left too.
TEST_F(LeftFolderTest, AFolderLeftOnAFullDiskIsNamedCountedAndSavedLater) {
    openAtTheWindow();
    files.refuse(std::make_error_code(std::errc::no_space_on_device));
    type(&window(), Qt::Key_Space);
    openAt(other());
    EXPECT_TRUE(toastSays(kPhotosNotSaved));

    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(said, std::vector{QuitConfirmation::make(RecordSaving::failed).informativeText});
    EXPECT_FALSE(record().hearts.contains("a.jpg"));

    files.stopRefusing();
    type(&window(), Qt::Key_Space);
    queue.advance(AppState::kSaveDelay + 0.1);
    writesEnd();
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
    EXPECT_TRUE(record(other()).hearts.contains("x.jpg"));
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(said.back(), QuitConfirmation::make(RecordSaving::written).informativeText);
}

// The heart's write stalls, another folder is asked for, and the write fails while it loads: the
// folder opened again before the disk has room shows the heart, and quitting once it has room
// writes it.
TEST_F(LeftFolderTest, AFolderOpenedAgainAfterItsSaveFailedShowsWhatWasRefused) {
    openAtTheWindow();
    files.refuse(std::make_error_code(std::errc::no_space_on_device));
    heartWhileTheDiskStalls();
    turn.stop(); // the other folder's scan waits
    folderPanel.answer = other();
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    executor.runAll(); // the last folder is checked: the panel answers and the folder opens
    queue.runPending();
    QApplication::processEvents(); // the window's turn before the scan's result, as in the program
    ASSERT_EQ(state().screen(), AppScreen::loading);
    files.release();
    recordWriter.joinAll();
    queue.runPending();
    ASSERT_EQ(state().screen(), AppScreen::loading);
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    turn.start(0);
    EXPECT_TRUE(toastSays(kPhotosNotSaved));

    openAt(photos());
    EXPECT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
    files.stopRefusing();
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(said.back(), QuitConfirmation::make(RecordSaving::written).informativeText);
    EXPECT_TRUE(record().hearts.contains("a.jpg"));
}

// The heart's write stalls and then fails while a newer save of the folder, made as it was left,
// waits behind it: the newer one is what the folder keeps, and the older values are not written
// over it at the next save.
TEST_F(LeftFolderTest, AFailedSaveWithANewerOneBehindItIsNotWrittenAgain) {
    openAtTheWindow();
    heartWhileTheDiskStalls();
    type(&window(), Qt::Key_Down);
    const std::string second = state().library()->currentPhoto()->relativePath;
    ASSERT_NE(second, "a.jpg");
    type(&window(), Qt::Key_Space);
    openAt(other(), false);
    // The stalled save, from before the second heart, fails wherever the record may go.
    files.refuse(std::make_error_code(std::errc::no_space_on_device), [&](std::string_view text) {
        return text.find("a.jpg") != std::string_view::npos && text.find(second) == std::string_view::npos;
    });
    files.release();
    writesEnd();
    files.stopRefusing();
    EXPECT_TRUE(toastSays(kPhotosNotSaved)) << "the stalled save did not fail";
    EXPECT_TRUE(record().hearts.contains(second));

    type(&window(), Qt::Key_Space);
    queue.advance(AppState::kSaveDelay + 0.1);
    writesEnd();
    const SelectionLoadResult saved = record();
    EXPECT_TRUE(saved.hearts.contains("a.jpg"));
    EXPECT_TRUE(saved.hearts.contains(second));
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(said.back(), QuitConfirmation::make(RecordSaving::written).informativeText);
}

// The photo folder takes no record, so it lives in the user's data folder; one there of a later
// version is never written over, and the window says so with its reason rather than that the record
// is kept elsewhere, for as long as the folder is open. Saves made meanwhile bring no message.
TEST_F(RecordSavingWindowTest, AProtectedRecordInTheDataFolderIsNamed) {
    class RefusingFolder : public FileManager {
    public:
        explicit RefusingFolder(fs::path folder) : folder_(std::move(folder)) {}
        AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                       const AtomicFile::Expected& expected) override {
            if (path.parent_path() == folder_)
                throw std::system_error(std::make_error_code(std::errc::read_only_file_system), "write");
            return FileManager::replace(path, bytes, expected);
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

// Another copy of the program (another computer, a second path to the folder) hearts a photo while
// this window has the folder open. The heart made here is written with it, the window shows the
// other's heart and says that both were combined, and no file is set apart.
TEST_F(RecordSavingWindowTest, AnotherCopysHeartIsCombinedWithTheWindowsAndShown) {
    openAtTheWindow();
    const PhotoLibrary& library = *state().library();
    ASSERT_GE(library.photos().size(), 2u);
    const std::string here = library.currentPhoto()->relativePath;
    const std::string there = library.photos()[0].relativePath == here ? library.photos()[1].relativePath
                                                                        : library.photos()[0].relativePath;
    SelectionStore otherCopy(photos(), root / "support", root / "legacy-support");
    otherCopy.load();
    SelectionSaveValues theirs;
    theirs.hearts.insert(there);
    otherCopy.save(theirs, {});

    type(&window(), Qt::Key_Space);
    queue.advance(AppState::kSaveDeadline);
    writesEnd();
    QApplication::processEvents();
    EXPECT_EQ(record().hearts, (std::set<std::string>{here, there}));
    EXPECT_TRUE(state().library()->containsHeart(there, RetouchSlot::a)) << "the other copy's heart shows";
    EXPECT_TRUE(state().library()->containsHeart(here, RetouchSlot::a));
    EXPECT_EQ(window().rootView()->toastView()->text(),
              QStringLiteral("記録がほかで書き換えられていたため、両方の変更を合わせて保存しました"));
    for (const auto& entry : fs::directory_iterator(photos()))
        EXPECT_EQ(entry.path().filename().string().find("conflict"), std::string::npos) << entry.path();
}

// The folder's record cannot be looked at (a share that answers EIO to every look at it): the
// folder opens saying so, with nothing written over the record. What is saved meanwhile goes beside
// it and the quit alert names that file; once the record answers again, the next save writes it
// combined with the record, and the file beside it goes.
TEST_F(RecordSavingWindowTest, ARecordThatCannotBeLookedAtIsNeverWrittenOverAndTakesTheChangesLater) {
    class BlinkingShare : public HeldWrites {
    public:
        std::atomic<bool> failing = true;
        std::optional<FileVersion> version(const fs::path& path) const override {
            if (failing && path.filename() == "sorvin.json")
                throw std::system_error(std::make_error_code(std::errc::io_error), "look at file");
            return HeldWrites::version(path);
        }
    } share;
    recordFiles = &share;
    addStandardPhotos();
    const std::string kept = R"({"version": 2, "app": "Sorvin", "updatedAt": "t", "photos": {"kept.jpg": {"heart": true}}})";
    std::ofstream(photos() / "sorvin.json") << kept;
    std::vector<std::string> alerts;
    delegate().confirmQuit = [&](QWidget*, const QuitConfirmation& confirmation) {
        alerts.push_back(confirmation.informativeText);
        return false;
    };
    openAtTheWindow(false);
    QApplication::processEvents();
    EXPECT_EQ(window().rootView()->toastView()->text(),
              QStringLiteral("前回の記録を今は読み込めません。読み込めるようになってから、この間の変更を記録に合わせて保存します"));
    const std::string here = state().library()->currentPhoto()->relativePath;

    type(&window(), Qt::Key_Space);
    queue.advance(AppState::kSaveDeadline);
    writesEnd();
    EXPECT_EQ(AtomicFile::read(photos() / "sorvin.json"), kept);
    ASSERT_TRUE(state().recordKeptBeside());
    const std::string beside = state().recordKeptBeside()->filename().string();
    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    settle();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], QuitConfirmation::make(RecordSaving::keptBeside, beside).informativeText);
    EXPECT_NE(alerts[0].find(beside), std::string::npos);

    share.failing = false;
    type(&window(), Qt::Key_Down);
    queue.advance(AppState::kSaveDeadline);
    writesEnd();
    EXPECT_EQ(record().hearts, (std::set<std::string>{"kept.jpg", here}));
    EXPECT_FALSE(fs::exists(photos() / beside));
    EXPECT_FALSE(state().recordKeptBeside());
}

} // namespace
} // namespace sorvin::test
