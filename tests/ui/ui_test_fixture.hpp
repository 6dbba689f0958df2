#pragma once

#include "app/app_state_fixture.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/main_window.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

namespace sorvin::test {

// The program writes no log: a warning of Qt is a fault, and the test that causes it fails. The
// offscreen platform's notices of what it lacks (size hints; raising windows and grabbing the
// keyboard, which a menu opened by the pointer asks for) are the test platform's own.
inline void failOnQtWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    ADD_FAILURE() << "Qt printed: " << message.toStdString();
}

// One application object for the whole test program (offscreen platform).
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "sorvin_tests_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qInstallMessageHandler(failOnQtWarnings);
        // Qt wants a private runtime folder, which a test machine may not name, and the tests
        // write settings, data and caches. A test run gives
        // folders of its own under the build folder; where it gave none, as when the program is
        // started by hand, a private temporary one stands in for each, so nothing lands in the
        // home of whoever runs it. Its children (the quit tests') inherit them.
        static const std::pair<const char*, const char*> folders[] = {{"XDG_RUNTIME_DIR", ""},
                                                                      {"XDG_CONFIG_HOME", "config"},
                                                                      {"XDG_DATA_HOME", "data"},
                                                                      {"XDG_CACHE_HOME", "cache"}};
        const bool allGiven = std::all_of(std::begin(folders), std::end(folders), [](const auto& folder) {
            return !qEnvironmentVariableIsEmpty(folder.first);
        });
        static std::string home = (std::filesystem::temp_directory_path() / "sorvin-ui-home-XXXXXX").string();
        if (!allGiven && mkdtemp(home.data())) {
            std::atexit([] {
                std::error_code ignored;
                std::filesystem::remove_all(home, ignored);
            });
            for (const auto& [name, folder] : folders) {
                if (!qEnvironmentVariableIsEmpty(name)) continue;
                const std::filesystem::path path = std::filesystem::path(home) / folder;
                std::filesystem::create_directories(path);
                qputenv(name, QByteArray::fromStdString(path.string()));
            }
        }
        // Offscreen: the usual screen with one of twice the scale beside it, and below it a laptop's
        // screen less its panel (1366 × 736), a netbook's (1024 × 600) and the laptop's again at
        // twice the scale (683 × 368 points). Sizes are in points: the screen's scale is its own.
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        if (platform.isEmpty() || platform == "offscreen")
            qputenv("QT_QPA_PLATFORM",
                    "offscreen:configfile=" SORVIN_TEST_DATA_DIR "/offscreen_screens.json");
        auto* application = new QApplication(argc, argv);
        // The program's own look, so that the windows measure their texts in its fonts.
        SorvinLook::apply(*application);
        return application;
    }();
    return *app;
}

// How long a window test may wait before its waits are ended: two minutes of an optimised build on
// an idle machine, stretched by the sanitizer the tests are built with and by how far the machine's
// load is above its cores, so that only a wait that never ends runs out.
inline int testMilliseconds() {
    double scale = 1;
#if defined(__SANITIZE_THREAD__)
    scale = 4;
#elif defined(__SANITIZE_ADDRESS__)
    scale = 2;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    scale = 4;
#elif __has_feature(address_sanitizer)
    scale = 2;
#endif
#endif
    double load = 0;
    const double cores = std::max(1u, std::thread::hardware_concurrency());
    if (getloadavg(&load, 1) == 1) scale *= std::clamp(load / cores, 1.0, 3.0);
    return static_cast<int>(120'000 * scale);
}

// The main window over a test application state (manual queue and executor, temporary folders).
//
// Quitting and closing wait for the record with the event loop turning, on the test's manual clock
// and executor: a test that starts such a wait and never lets the saves end, or leaves an alert
// that asks unanswered, would turn the loop for ever and hold the whole suite. Past its time it
// fails alone instead: from then on every alert is answered with its escape button and every wait
// runs out, until the test ends.
class MainWindowTest : public AppStateTest {
protected:
    MainWindowTest() {
        application();
        overtime_.setSingleShot(true);
        QObject::connect(&overtime_, &QTimer::timeout, [this] { endTheWaits(); });
        running_.start();
        overtime_.start(testMilliseconds());
    }
    ~MainWindowTest() override {
        overtime_.stop();
        window_.reset();
        delegate_.reset();
    }

    MainWindow& window() {
        if (!window_) {
            delegate_ = std::make_unique<AppDelegate>(nullptr);
            window_ = std::make_unique<MainWindow>(state(), *delegate_, queue);
        }
        return *window_;
    }
    AppDelegate& delegate() {
        window();
        return *delegate_;
    }

    // The window becomes the active one, as the window system makes a window the user works in:
    // the menus' shortcuts work only there.
    void activate() {
        window().activateWindow();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), &window());
    }

    // The folder open at the window by Ctrl+O, with the keyboard there; the standard photos unless
    // the test put its own.
    void openAtTheWindow(bool standardPhotos = true) {
        if (standardPhotos) addStandardPhotos();
        window().show();
        activate();
        folderPanel.answer = photos();
        type(&window(), Qt::Key_O, Qt::ControlModifier);
        settle();
        ASSERT_EQ(state().screen(), AppScreen::select);
    }

    // Sends a key event of a type to the widget; true when something took it.
    static bool send(QWidget* target, QEvent::Type type, int key,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false) {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        // Every press of a key is a new event with its own time.
        static quint64 clock = 1;
        event.setTimestamp(type == QEvent::KeyPress ? ++clock : clock);
        return QApplication::sendEvent(target, &event);
    }
    static void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      bool autoRepeat = false) {
        send(target, QEvent::KeyPress, key, modifiers, autoRepeat);
    }
    static void release(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(target, &event);
    }
    // A key typed as a user types it, through the window system and the menus' shortcuts, to
    // whatever has the keyboard.
    static void type(QWidget* fallback, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : fallback, key, modifiers);
    }

    // Runs the event loop until the program quits (answering 0) or 200 turns have passed
    // (failing, after `giveUp`). Each turn inside a wait of the window (a nested loop: the wait for
    // the record, an alert, a dialog) is handed to the test, counted from 1.
    int runUntilQuit(const std::function<void(int turn)>& eachTurnOfAWait, const std::function<void()>& start,
                     const std::function<void()>& giveUp = {}) {
        int turns = 0;
        int allTurns = 0;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            if (++allTurns == 200) {
                ADD_FAILURE() << "the program did not quit";
                if (giveUp) giveUp();
                QCoreApplication::exit(1);
            }
            if (QThread::currentThread()->loopLevel() > 1) eachTurnOfAWait(++turns);
        });
        turn.start(1);
        QTimer::singleShot(0, start);
        return QApplication::exec();
    }

private:
    void endTheWaits() {
        if (overtime_.isSingleShot()) {
            // The machine may have grown busier since the test began.
            const auto left = testMilliseconds() - running_.elapsed();
            if (left > 0) {
                overtime_.start(static_cast<int>(left));
                return;
            }
            ADD_FAILURE() << "the test still waited after " << running_.elapsed() / 1000
                          << " s: a save it never let end, or an alert it never answered";
            overtime_.setSingleShot(false);
            overtime_.start(10);
        }
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
        queue.advance(AppState::kFinishSavingWait);
        settle();
    }

    QTimer overtime_;
    QElapsedTimer running_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace sorvin::test
