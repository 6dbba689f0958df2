#pragma once

// The real program in this process, driven only by key presses and pointer clicks on its real main
// window: it runs on its real main queue and thread pool, and a test waits for them by turning Qt's
// event loop until the state it expects is there.

#include "app/app_state.hpp"
#include "platform/folder_panel.hpp"
#include "shell/quit_confirmation.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/root_view.hpp"
#include "ui/app/sorvin_application.hpp"
#include "ui/browsing/select_view.hpp"
#include "support/scoped_environment.hpp"
#include "ui/ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace sorvin::test {

namespace fs = std::filesystem;

// Points the program's preference, data and cache folders into a temporary home for the test; the
// preferences elsewhere when a folder is given for them.
class TemporaryHome {
public:
    explicit TemporaryHome(const fs::path& home, const fs::path& config = {}) {
        for (const auto& [name, value] : {std::pair{"HOME", home},
                                          {"XDG_CONFIG_HOME", config.empty() ? home / ".config" : config},
                                          {"XDG_DATA_HOME", home / ".local/share"},
                                          {"XDG_CACHE_HOME", home / ".cache"}}) {
            fs::create_directories(value);
            environment_.set(name, value);
        }
    }

private:
    test::ScopedEnvironment environment_;
};

class ProgramSession : public ::testing::Test {
protected:
    static constexpr int kPatience = 60000; // milliseconds for any one wait, ample under sanitizers

    // The folder chooser is the program's own unless one is given.
    explicit ProgramSession(FolderPanel* folderPanel = nullptr) : folderPanel_(folderPanel) { application(); }

    // Starts the program, runs the session until the session quits it, and closes it down.
    void runProgram(const std::function<void()>& session) {
        program = std::make_unique<SorvinApplication>(application(), folderPanel_);
        MainWindow& window = program->mainWindow();
        window.show();
        window.activateWindow();
        // An alert nobody expected would hold the session in its own loop: it fails the test and
        // is dismissed.
        QTimer unexpectedAlerts;
        QObject::connect(&unexpectedAlerts, &QTimer::timeout, [&] {
            auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!alert || quitting) return;
            ADD_FAILURE() << "unexpected alert: " << alert->text().toStdString() << " "
                          << alert->informativeText().toStdString();
            alert->reject();
        });
        unexpectedAlerts.start(50);
        bool finished = false;
        QTimer::singleShot(0, [&] {
            if (waitFor([&] { return QApplication::activeWindow() == &window; }))
                session();
            else
                ADD_FAILURE() << "the main window never became active";
            finished = true;
            // A session that failed before it quit ends the loop itself.
            if (!quitAsked) QCoreApplication::exit(1);
        });
        const int code = QApplication::exec();
        EXPECT_TRUE(finished);
        EXPECT_EQ(code, 0) << "the program did not quit through its own quit command";
        quitAsked = false;
        program.reset();
    }

    // Turns the event loop until the condition holds; false when it did not within the patience.
    static bool waitFor(const std::function<bool()>& condition, int patience = kPatience) {
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer wake; // so that a condition that no event announces is still looked at
        wake.start(10);
        while (!condition()) {
            if (elapsed.elapsed() > patience) return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    AppState& state() { return program->state(); }
    MainWindow& window() { return program->mainWindow(); }
    SelectView& browsing() { return *window().rootView()->selectView(); }
    const PhotoLibrary& library() { return *state().library(); }
    std::string currentPath() {
        const Photo* photo = state().library() ? library().currentPhoto() : nullptr;
        return photo ? photo->relativePath : std::string();
    }

    // A key pressed and released where the keyboard is, the way the window system delivers it.
    void key(Qt::Key code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window();
        QTest::keyClick(target, code, modifiers);
    }
    static void click(QWidget* widget, QPoint at = {}) {
        ASSERT_TRUE(widget);
        ASSERT_TRUE(widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
    }

    // The current row is on screen as the program means to show it: decoded, developed with its
    // parameters when it has any, from the file it names, and no JPEG/RAW switch under way.
    bool currentRowIsShown() {
        const Photo* photo = state().library() ? library().currentPhoto() : nullptr;
        if (!photo || state().isSourceLoading()) return false;
        const RetouchSlot slot = library().currentSlot();
        return state().displayedSource(*photo) == library().currentSource() &&
               state().imageLoader().isDisplayReady(
                   *photo, library().currentSource(), library().currentParameters(),
                   library().rotation(*photo, slot), library().clampedCrop(*photo, slot), false);
    }
    [[nodiscard]] bool shown() {
        return waitFor([&] { return currentRowIsShown(); });
    }

    // Up or Down to the next row, until it is on screen and the key is up: its release counts once
    // no press has followed within the repeat interval, as the user's next press comes later.
    [[nodiscard]] bool step(Qt::Key arrow) {
        const auto before = library().currentCursor();
        key(arrow);
        return waitFor([&] { return library().currentCursor() != before; }) && shown() &&
               waitFor([&] { return !browsing().repeater().heldKeyCode(); });
    }

    // A sheet has gone and the window has the keyboard again.
    [[nodiscard]] bool backAtTheWindow() {
        return waitFor([&] {
            return QApplication::activeModalWidget() == nullptr && QApplication::activeWindow() == &window();
        });
    }

    // Ctrl+Q, answered with Return in the alert that asks; the alert says everything was saved.
    void quit() {
        QTimer answer;
        int answers = 0;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++answers;
                EXPECT_EQ(alert->informativeText().toStdString(),
                          QuitConfirmation::make(RecordSaving::written).informativeText);
                QTest::keyClick(alert, Qt::Key_Return);
            }
        });
        answer.start(20);
        quitting = true;
        key(Qt::Key_Q, Qt::ControlModifier);
        quitting = false;
        EXPECT_EQ(answers, 1) << "one alert asks before quitting";
        // Only a quit that was asked for and confirmed ends the event loop.
        quitAsked = answers == 1;
    }

    TemporaryFolder root;
    std::unique_ptr<SorvinApplication> program;
    bool quitting = false;  // Ctrl+Q pressed, its alert expected
    bool quitAsked = false; // and confirmed

private:
    FolderPanel* folderPanel_;
};


} // namespace sorvin::test
