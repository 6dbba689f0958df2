#pragma once

#include <memory>
#include <optional>

class QApplication;

namespace sorvin {

class AppDelegate;
class AppSettings;
class AppState;
class DefaultsStore;
class FileManager;
class FolderPanel;
class MainWindow;
class QtAlertPresenter;
class QtFolderOpener;
class QtFolderPanel;
class QtMainQueue;
class QtPasteboard;
class QtSingleExportPanel;
class QuitSignals;
class StallTolerantExecutor;
class ThreadPerTaskExecutor;
class ThreadPoolExecutor;

// Everything the process owns for its whole life, built in start-up order: the migration of the
// predecessor's data, the preferences, the application state with its queues, the delegate and
// the main window; and from then on, the signals that end the program quit it as its quit
// command does, to the end of the process.
class SorvinApplication {
public:
    // The folder chooser is the program's own unless one is given (a test answers it for the user), and
    // records go through the real file system unless a hook is given (a test holds the writes).
    explicit SorvinApplication(QApplication& application, FolderPanel* folderChooser = nullptr,
                               FileManager* recordFiles = nullptr);
    ~SorvinApplication();

    // How long the end of the program waits for background work other than the records' writes.
    static constexpr double kStuckWorkWait = 5.0;

    // The program's life from the window's showing to its quit, as main runs it; answers the exit
    // code. Every record and setting is written by the end; the rest of the work is waited for at
    // most kStuckWorkWait, and what a disk holds longer ends with the process, which ends here then.
    int run();

    // Ends the program's work: the window, the delegate and the state go, every record's write and
    // every settings' write are waited for however long they take, and then the rest of the
    // background work (photos being read, an export cancelled) for at most `seconds`, or until it
    // ends when none is given. False when some of it still runs then: a disk holds it, and the
    // process may end without it.
    bool finish(std::optional<double> seconds = std::nullopt);

    MainWindow& mainWindow() const { return *window_; }
    AppState& state() const { return *state_; }

private:
    // Goes last: a second signal still ends the process while it waits for the saves' worker.
    std::unique_ptr<QuitSignals> quitSignals_;
    std::unique_ptr<DefaultsStore> defaults_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<QtMainQueue> mainQueue_;
    std::unique_ptr<ThreadPoolExecutor> executor_;
    // The records' writes: each on a thread of its own, which a disk that stalls holds alone; waited
    // for at the end, before the main queue they report to goes.
    std::unique_ptr<ThreadPerTaskExecutor> recordExecutor_;
    std::unique_ptr<StallTolerantExecutor> folderProbeExecutor_;
    std::unique_ptr<QtPasteboard> pasteboard_;
    std::unique_ptr<QtFolderPanel> folderPanel_;
    std::unique_ptr<QtAlertPresenter> alerts_;
    std::unique_ptr<QtFolderOpener> folderOpener_;
    std::unique_ptr<QtSingleExportPanel> singleExportPanel_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace sorvin
