// A signal to end the real program, sent by another process as a shutdown, a logout or `kill`
// sends it: the program quits the way its quit command does, with the last edit on disk, also with
// the export sheet up or an export under way, and a second signal ends it at once. The program runs
// as a child of the test; its record's writes wait for the test's word, as on a stalled disk.

#include "app/app_state.hpp"
#include "export/export_manifest_store.hpp"
#include "persistence/selection_store.hpp"
#include "platform/file_manager.hpp"
#include "platform/folder_panel.hpp"
#include "platform/output_file.hpp"
#include "support/child_program.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/root_view.hpp"
#include "ui/app/sorvin_application.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/ui_test_fixture.hpp"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/wait.h>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPhotosSetting = "SORVIN_TEST_PHOTOS";
constexpr const char* kDestinationSetting = "SORVIN_TEST_DESTINATION";
constexpr std::chrono::seconds kChildTime{90}; // for a start and a quit, ample under sanitizers
// From the signal to the end of the program: the quit's wait for the record, and the time a
// sanitized program takes to end.
constexpr std::chrono::seconds kQuitTime{static_cast<int>(AppState::kFinishSavingWait) + 10};

// What the program does before the signal comes.
constexpr const char* kHeartAndRun = "heart-and-run";
// The same, then the export sheet comes up over the window, and stays idle.
constexpr const char* kHeartWithTheExportSheetUp = "heart-with-the-export-sheet-up";
// Every photo hearted and exported; the export stops as it is about to name its second file
// (a long photo to write), and goes on once the program's quit has come to its end.
constexpr const char* kHeartAndExport = "heart-and-export";
// The same, but the export stays where it stopped after the quit, as on a destination that stopped
// answering.
constexpr const char* kHeartAndExportHeldForGood = "heart-and-export-held-for-good";

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

// The export thread, stopped as it is about to name its second file until the program's quit has
// come to its end (or the child's time has run out).
class ExportHeldAtTheSecondFile {
public:
    ExportHeldAtTheSecondFile() {
        OutputFile::setBeforePublishHookForTesting([this](const fs::path&) {
            if (++named_ != 2) return;
            reportToParent();
            std::unique_lock lock(mutex_);
            quitEnded_.wait_for(lock, kChildTime, [this] { return quitEnded; });
        });
    }
    ~ExportHeldAtTheSecondFile() { OutputFile::setBeforePublishHookForTesting({}); }
    void letGo() {
        const std::lock_guard lock(mutex_);
        quitEnded = true;
        quitEnded_.notify_all();
    }

private:
    std::atomic<int> named_{0};
    std::mutex mutex_;
    std::condition_variable quitEnded_;
    bool quitEnded = false;
};

// This program started by a test below: the program's window opens the folder it is told with
// Ctrl+O, hearts its photo with Space (every photo, each after ↓, to export them), brings up the
// export sheet with its button and starts the export as its role says, reports, and runs until it
// quits. Its exit code is the event loop's.
class SignalledProgram : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string role = childRole();
        if (role.empty()) return;
        const bool heldForGood = role == kHeartAndExportHeldForGood;
        const bool exports = heldForGood || role == kHeartAndExport;
        const bool sheet = exports || role == kHeartWithTheExportSheetUp;
        if (!sheet && role != kHeartAndRun) ::_exit(2);
        AnsweringFolderPanel chooser;
        chooser.answer = childSetting(kPhotosSetting);
        WritesThatWaitForTheParent files;
        ExportHeldAtTheSecondFile held;
        int code = 3;
        {
            SorvinApplication program(application(), &chooser, sheet ? nullptr : &files);
            MainWindow& window = program.mainWindow();
            // After the program's own end of the quit, which cancels the export.
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&held, heldForGood] {
                if (!heldForGood) held.letGo();
            });
            window.show();
            window.activateWindow();
            QTimer::singleShot(0, [&] {
                const auto key = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
                    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
                };
                if (!turnUntil([&] { return QApplication::focusWidget() != nullptr; })) ::_exit(4);
                key(Qt::Key_O, Qt::ControlModifier);
                if (!turnUntil([&] { return program.state().screen() == AppScreen::select; })) ::_exit(5);
                const PhotoLibrary& library = *program.state().library();
                const std::size_t photos = exports ? library.photos().size() : 1;
                for (std::size_t i = 0; i < photos; ++i) {
                    if (i > 0) key(Qt::Key_Down);
                    key(Qt::Key_Space);
                }
                if (!library.containsHeart("a.jpg", RetouchSlot::a) || library.hearts().size() != photos)
                    ::_exit(6);
                if (sheet) {
                    SelectView& browsing = *window.rootView()->selectView();
                    QPushButton* exportHearted = browsing.bottomBar()->batchExportButton();
                    if (!turnUntil([&] { return exportHearted->isEnabled(); })) ::_exit(7);
                    QTest::mouseClick(exportHearted, Qt::LeftButton);
                    if (!turnUntil([&] { return browsing.exportSheet() && browsing.exportSheet()->isVisible(); }))
                        ::_exit(8);
                    ExportSheet& shown = *browsing.exportSheet();
                    if (exports) {
                        shown.destinationField()->setFocus();
                        QTest::keyClicks(shown.destinationField(),
                                         QString::fromStdString(childSetting(kDestinationSetting)));
                        QTest::mouseClick(shown.exportButton(), Qt::LeftButton);
                        return; // the export reports as it names its second file
                    }
                }
                reportToParent();
            });
            code = program.run(); // as the program's own main runs it
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

    // The program with a folder and a home of its own, playing a role.
    std::unique_ptr<ChildProgram> start(const char* role = kHeartAndRun) {
        const fs::path home = root / "home";
        return std::make_unique<ChildProgram>(
            role, std::vector<std::string>{std::string(kPhotosSetting) + "=" + photos().string(),
                                           std::string(kDestinationSetting) + "=" + destination().string(),
                                           "HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                                           "XDG_DATA_HOME=" + (home / "data").string(),
                                           "XDG_CACHE_HOME=" + (home / "cache").string()});
    }
    bool heartOnDisk() {
        return SelectionStore(photos(), dataFolder()).load().hearts.contains("a.jpg");
    }
    fs::path destination() const { return root / "exported"; }
    fs::path dataFolder() const { return root / "home" / "data" / "Sorvin"; }
    // The program ended by itself, as its quit command ends it.
    static void expectQuit(ChildProgram& program) {
        const int ended = program.exitStatus();
        EXPECT_TRUE(WIFEXITED(ended) && WEXITSTATUS(ended) == 0)
            << "ended by " << (WIFSIGNALED(ended) ? ::strsignal(WTERMSIG(ended)) : "exit code")
            << (WIFEXITED(ended) ? " " + std::to_string(WEXITSTATUS(ended)) : std::string());
    }
    // Every temporary file the program left anywhere it writes.
    std::vector<std::string> temporaries() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
            const std::string name = entry.path().filename().string();
            if (name.find(".tmp-") != std::string::npos || name.find(".sorvin-tmp-") != std::string::npos)
                found.push_back(entry.path().string());
        }
        return found;
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
        expectQuit(*program);
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

// With the export sheet up after the edit, a signal quits all the same: the sheet goes, the edit
// is on disk and nothing temporary is left.
TEST_F(QuitSignalTest, ASignalWithTheExportSheetUpQuits) {
    const auto program = start(kHeartWithTheExportSheetUp);
    ASSERT_TRUE(program->awaitReport(kChildTime)) << "the export sheet never came up";
    program->signal(SIGTERM);
    ASSERT_TRUE(program->awaitExit(kQuitTime)) << "the program stayed open";
    expectQuit(*program);
    EXPECT_TRUE(heartOnDisk());
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

// During an export, a signal cancels it and quits: the files it finished are kept and named in the
// destination's manifest, the rest is not written, nothing temporary is left, and the edit is on
// disk.
TEST_F(QuitSignalTest, ASignalDuringAnExportCancelsItAndQuits) {
    for (const char* name : {"b.jpg", "c.jpg", "d.jpg"})
        fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), photos() / name);
    fs::create_directories(destination());
    const auto program = start(kHeartAndExport);
    ASSERT_TRUE(program->awaitReport(kChildTime)) << "the export never came to its second file";
    program->signal(SIGTERM);
    ASSERT_TRUE(program->awaitExit(kQuitTime)) << "the program stayed open";
    expectQuit(*program);
    EXPECT_TRUE(heartOnDisk());
    EXPECT_EQ(temporaries(), std::vector<std::string>{});

    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(destination()))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written.size(), 2u) << "the first file, and the second that was being named";
    std::set<std::string> remembered;
    for (const auto& [key, entry] : ExportManifestStore::load(destination(), dataFolder()).entries)
        for (const auto& [format, output] : entry.outputs)
            remembered.insert(output.file);
    EXPECT_EQ(remembered, written) << "the next export would write them again";
}

// An export that a disk holds past the quit keeps the program only a moment after its record is
// written: it ends by itself, as its quit command ends it, with the edit on disk.
TEST_F(QuitSignalTest, AnExportADiskHoldsKeepsTheProgramOnlyAMomentAfterItsQuit) {
    fs::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), photos() / "b.jpg");
    fs::create_directories(destination());
    const auto program = start(kHeartAndExportHeldForGood);
    ASSERT_TRUE(program->awaitReport(kChildTime)) << "the export never came to its second file";
    program->signal(SIGTERM);
    ASSERT_TRUE(program->awaitExit(kQuitTime)) << "the program waited for the export the disk holds";
    expectQuit(*program);
    EXPECT_TRUE(heartOnDisk());
}

} // namespace
} // namespace sorvin::test
