// The folder choosers listing large folders, from the dialog's opening until every row has its
// answer: 5,000 links to folders (each of which the disk is asked about), 5,000 plain folders (the
// listing alone tells them apart), and 50,000 entries of every kind (40,000 files, 5,000 folders,
// 5,000 links) in the folder chooser and in the save panel, which lists the files too. Reported:
// the main thread's own processor time (the iteration time), the wall time, and the longest
// stretch in which the main thread kept the event loop from turning (by its own work, not by
// waiting for a processor). The baseline is the same rows put into a plain list view at once,
// asking nothing, measured in the same run.
#include "../tests/support/main_thread_work.hpp"
#include "platform/background_executor.hpp"
#include "platform/folder_probe.hpp"
#include "platform/stall_tolerant_executor.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_main_queue.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

QApplication& application() {
    static int argc = 1;
    static char name[] = "folder_chooser_window_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication::setStyle(QStringLiteral("Fusion"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// What a folder holds.
struct Contents {
    int links = 0;
    int folders = 0;
    int files = 0;
};

// A folder of that many links to folders (kept beside it), folders and files.
class Folder {
public:
    explicit Folder(Contents contents) : contents_(contents) {
        std::string pattern = (fs::temp_directory_path() / "sorvin-chooser-bench-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(root_ / "listed");
        for (int index = 0; index < contents.links; ++index) {
            const std::string name = "link " + std::to_string(index);
            fs::create_directories(root_ / "targets" / name);
            fs::create_directory_symlink(root_ / "targets" / name, root_ / "listed" / name);
        }
        for (int index = 0; index < contents.folders; ++index)
            fs::create_directories(root_ / "listed" / ("folder " + std::to_string(index)));
        for (int index = 0; index < contents.files; ++index)
            std::ofstream(root_ / "listed" / ("IMG_" + std::to_string(index) + ".jpg"));
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path listed() const { return root_ / "listed"; }
    int rows(bool files) const { return contents_.links + contents_.folders + (files ? contents_.files : 0); }

private:
    Contents contents_;
    fs::path root_;
};

// Each iteration's turn: the main thread's processor time (the iteration time), the wall time and
// the longest stretch of the main thread's own work.
template <typename Turn>
void measure(benchmark::State& state, Turn turn) {
    double wall = 0, longest = 0;
    for (auto _ : state) {
        QElapsedTimer elapsed;
        elapsed.start();
        const double start = threadSeconds();
        {
            test::MainThreadWork work;
            turn(elapsed);
            longest += work.longestMilliseconds();
        }
        state.SetIterationTime(threadSeconds() - start);
        wall += static_cast<double>(elapsed.elapsed()) / 1000.0;
    }
    state.counters["wall_s"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
    state.counters["longest_ms"] = benchmark::Counter(longest, benchmark::Counter::kAvgIterations);
}

void listAll(benchmark::State& state, Contents contents, bool files) {
    application();
    const Folder folder(contents);
    QtMainQueue queue;
    StallTolerantExecutor threads;
    FolderProbe probe(queue, threads);
    FolderChooserOptions options;
    options.listsFiles = files;
    measure(state, [&](const QElapsedTimer& elapsed) {
        FolderChooserDialog dialog(nullptr, probe, nullptr, fs::temp_directory_path(), folder.listed(), options);
        dialog.show();
        while ((dialog.folderList()->model()->rowCount() < folder.rows(files) || !dialog.model().everyEntryAnswered()) &&
               elapsed.elapsed() < 120'000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents(); // the last rows painted
        // The same folder again is asked afresh: the next turn starts from nothing.
    });
}

// The rows alone: the listing read and sorted, and every row put into a list view at once.
void baseline(benchmark::State& state, Contents contents, bool files) {
    application();
    const Folder folder(contents);
    measure(state, [&](const QElapsedTimer&) {
        const FolderProbeListing listing = FolderProbeDisk::readListing(folder.listed());
        QStandardItemModel rows;
        rows.setColumnCount(2);
        QList<QStandardItem*> column;
        for (const FolderProbeEntry& entry : listing.entries)
            if (files || !entry.listedAsFile) column.append(new QStandardItem(QString::fromStdString(entry.name)));
        rows.insertColumn(0, column);
        QTreeView view;
        view.setUniformRowHeights(true);
        view.setModel(&rows);
        view.show();
        QApplication::processEvents();
    });
}

constexpr Contents kLinks{.links = 5000};
constexpr Contents kFolders{.folders = 5000};
constexpr Contents kEverything{.links = 5000, .folders = 5000, .files = 40000};

#define SORVIN_CHOOSER_BENCH(function, name, ...)                                                                 \
    BENCHMARK_CAPTURE(function, name, __VA_ARGS__)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)

SORVIN_CHOOSER_BENCH(baseline, FiveThousandRowsAtOnce, kFolders, false);
SORVIN_CHOOSER_BENCH(listAll, FiveThousandLinksToFolders, kLinks, false);
SORVIN_CHOOSER_BENCH(listAll, FiveThousandFolders, kFolders, false);
SORVIN_CHOOSER_BENCH(baseline, FiftyThousandRowsAtOnce, kEverything, true);
SORVIN_CHOOSER_BENCH(listAll, FiftyThousandEntriesInTheFolderChooser, kEverything, false);
SORVIN_CHOOSER_BENCH(listAll, FiftyThousandEntriesInTheSavePanel, kEverything, true);

} // namespace
} // namespace sorvin
