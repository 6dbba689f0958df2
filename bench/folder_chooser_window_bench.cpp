// The folder chooser listing a folder of 5,000 links to folders, each of which the disk is asked
// about one by one, beside the same number of plain folders (the baseline), which the listing
// alone tells apart: the main thread's own work (its processor time) from the dialog's opening
// until every row shows. Wall time is reported as a counter.
#include "platform/background_executor.hpp"
#include "platform/folder_probe.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_main_queue.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5000;

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

// A folder holding `kFolders` folders, or as many links to folders kept beside it.
class Folders {
public:
    explicit Folders(bool links) {
        std::string pattern = (fs::temp_directory_path() / "sorvin-chooser-bench-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(root_ / "listed");
        for (int index = 0; index < kFolders; ++index) {
            const std::string name = "folder " + std::to_string(index);
            if (links) {
                fs::create_directories(root_ / "targets" / name);
                fs::create_directory_symlink(root_ / "targets" / name, root_ / "listed" / name);
            } else {
                fs::create_directories(root_ / "listed" / name);
            }
        }
    }
    ~Folders() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path listed() const { return root_ / "listed"; }

private:
    fs::path root_;
};

void listAll(benchmark::State& state, bool links) {
    application();
    const Folders folders(links);
    QtMainQueue queue;
    DetachedThreadExecutor threads;
    FolderProbe probe(queue, threads);
    double wall = 0;
    for (auto _ : state) {
        QElapsedTimer elapsed;
        elapsed.start();
        const double start = threadSeconds();
        {
            FolderChooserDialog dialog(nullptr, probe, nullptr, fs::temp_directory_path(), folders.listed());
            dialog.show();
            while (dialog.folderList()->topLevelItemCount() < kFolders && elapsed.elapsed() < 60'000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            // The same folder again is asked afresh: the next turn starts from nothing.
        }
        state.SetIterationTime(threadSeconds() - start);
        wall += static_cast<double>(elapsed.elapsed()) / 1000.0;
    }
    state.counters["wall_s"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

void BM_FiveThousandLinksToFolders(benchmark::State& state) {
    listAll(state, true);
}
BENCHMARK(BM_FiveThousandLinksToFolders)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BaselineFiveThousandFolders(benchmark::State& state) {
    listAll(state, false);
}
BENCHMARK(BM_BaselineFiveThousandFolders)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace sorvin
