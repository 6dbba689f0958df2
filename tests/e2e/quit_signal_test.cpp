// A signal to end the real program, sent by another process as a shutdown, a logout or `kill`
// sends it: the program quits the way its quit command does, with the last edit on disk, and a
// second signal ends it at once. The program runs as a child of the test; its record's writes wait
// for the test's word, as on a stalled disk.

#include "app/app_state.hpp"
#include "persistence/selection_store.hpp"
#include "platform/file_manager.hpp"
#include "platform/folder_panel.hpp"
#include "support/child_program.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/sorvin_application.hpp"
#include "ui/ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/wait.h>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPhotosSetting = "SORVIN_TEST_PHOTOS";
constexpr std::chrono::seconds kChildTime{90}; // for a start and a quit, ample under sanitizers

class AnsweringFolderPanel final : public FolderPanel {
public:
    std::optional<fs::path> chooseFolder(const fs::path&) override { return answer; }
    std::optional<fs::path> answer;
};

// The real file system, but each record write tells the parent that it started and waits for its
// word before it goes on; one word lets every write go.
class WritesThatWaitForTheParent final : public FileManager {
public:
    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                   const AtomicFile::Expected& expected) override {
        reportToParent();
        {
            const std::lock_guard lock(mutex_);
            if (!toldToGoOn_) toldToGoOn_ = awaitParent(kChildTime);
        }
        return FileManager::replace(path, bytes, expected);
    }

private:
    std::mutex mutex_;
    bool toldToGoOn_ = false;
};

bool turnUntil(const std::function<bool()>& condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (elapsed.elapsed() > std::chrono::milliseconds(kChildTime).count()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// This program started by a test below: the program's window opens the folder it is told with
// Ctrl+O, hearts its photo with Space, reports, and runs until it quits. Its exit code is the
// event loop's.
class SignalledProgram : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string role = childRole();
        if (role.empty()) return;
        if (role != "heart-and-run") ::_exit(2);
        AnsweringFolderPanel chooser;
        chooser.answer = childSetting(kPhotosSetting);
        WritesThatWaitForTheParent files;
        int code = 3;
        {
            SorvinApplication program(application(), &chooser, &files);
            MainWindow& window = program.mainWindow();
            window.show();
            window.activateWindow();
            QTimer::singleShot(0, [&] {
                const auto key = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
                    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
                };
                if (!turnUntil([&] { return QApplication::focusWidget() != nullptr; })) ::_exit(4);
                key(Qt::Key_O, Qt::ControlModifier);
                if (!turnUntil([&] { return program.state().screen() == AppScreen::select; })) ::_exit(5);
                key(Qt::Key_Space);
                if (!program.state().library()->containsHeart("a.jpg", RetouchSlot::a)) ::_exit(6);
                reportToParent();
            });
            code = QApplication::exec();
        }
        ::_exit(code);
    }
};

[[maybe_unused]] const auto* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new SignalledProgram);

class QuitSignalTest : public ::testing::Test {
protected:
    QuitSignalTest() {
        fs::create_directories(photos());
        fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), photos() / "a.jpg");
    }
    fs::path photos() const { return root / "photos"; }

    // The program with a folder and a home of its own.
    std::unique_ptr<ChildProgram> start() {
        const fs::path home = root / "home";
        return std::make_unique<ChildProgram>(
            "heart-and-run",
            std::vector<std::string>{std::string(kPhotosSetting) + "=" + photos().string(),
                                     "HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                                     "XDG_DATA_HOME=" + (home / "data").string(),
                                     "XDG_CACHE_HOME=" + (home / "cache").string()});
    }
    bool heartOnDisk() {
        return SelectionStore(photos(), root / "home" / "data" / "Sorvin").load().hearts.contains("a.jpg");
    }

    TemporaryFolder root;
};

// Sent right after the heart, before the program has written anything, each signal quits it: it
// saves, waits for the write, and ends as its quit command ends it.
TEST_F(QuitSignalTest, EachSignalToEndSavesTheLastEditAndQuits) {
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(::strsignal(number));
        fs::remove(photos() / "sorvin.json");
        const auto program = start();
        ASSERT_TRUE(program->awaitReport(kChildTime)) << "the program never hearted the photo";
        program->signal(number);
        program->tell(); // the disk lets the write go on
        ASSERT_TRUE(program->awaitExit(kChildTime)) << "the program did not end";
        const int ended = program->exitStatus();
        EXPECT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0)
            << "ended by the signal itself: " << (WIFSIGNALED(ended) ? WTERMSIG(ended) : 0);
        EXPECT_TRUE(heartOnDisk());
    }
}

// A second signal while the quit waits for a write the disk holds ends the program at once, by
// that signal, without waiting out the quit's ten seconds.
TEST_F(QuitSignalTest, ASecondSignalDuringTheWaitEndsTheProgramAtOnce) {
    const auto program = start();
    ASSERT_TRUE(program->awaitReport(kChildTime)) << "the program never hearted the photo";
    program->signal(SIGTERM);
    ASSERT_TRUE(program->awaitReport(kChildTime)) << "the record's write never started";
    program->signal(SIGTERM);
    ASSERT_TRUE(program->awaitExit(std::chrono::seconds(5))) << "the program still waited";
    EXPECT_TRUE(WIFSIGNALED(program->exitStatus()) && WTERMSIG(program->exitStatus()) == SIGTERM);
    EXPECT_FALSE(heartOnDisk());
}

} // namespace
} // namespace sorvin::test
