// Resident memory of the application state walking a folder of 500 photos (24 MP JPEGs, the
// program's own loaders and executor) and then opening a folder of three, in normal and in
// low-memory mode, each in a process of its own. Counters:
// - start_MB: resident before any folder is opened (the program itself);
// - fresh_MB: resident with the small folder open, before the large one was ever opened;
// - live_MB: median over the walk of the bitmaps the image loader holds (its live cache);
// - walk_ratio: median over the walk of resident memory over the live cache (walk_ratio_max: its
//   largest value); walk_ratio_beyond_start: the same with start_MB taken off resident memory;
// - after_MB: resident once the small folder is open again; after_minus_fresh_MB the difference.
// The baseline in the same run is the fresh start itself.
#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "platform/background_executor.hpp"
#include "platform/defaults_store.hpp"
#include "platform/memory_return.hpp"
#include "served_main_queue.hpp"
#include "synthetic_photo.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace sorvin {
namespace {

constexpr int kLargeFolder = 500;

class NoPasteboard final : public Pasteboard {
public:
    void clearContents() override {}
    bool writeItems(const std::vector<PasteboardItem>&) override { return false; }
};

double residentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double startMB = 0, freshMB = 0, liveMB = 0, walkRatio = 0, walkRatioMax = 0, beyondStart = 0, peakMB = 0,
           afterMB = 0;
};

std::filesystem::path folderOf(const std::filesystem::path& root, const std::string& name, int count) {
    const auto folder = root / name;
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "p%04d.jpg", i);
        std::filesystem::create_hard_link(bench::syntheticJpegFile(), folder / file);
    }
    return folder;
}

// What the application does, in this process.
Figures walk(const std::filesystem::path& root, bool lowMemory) {
    MemoryReturn::configureAllocator(); // as the program does at start
    MemoryReturn::trim();               // nor does a fresh program hold the blocks its parent kept
    bench::ServedMainQueue queue;
    ThreadPoolExecutor executor;
    NoPasteboard pasteboard;
    DefaultsStore defaults;
    defaults.set(PreferenceKey::lowMemoryMode, lowMemory);
    AppSettings settings(defaults, std::uint64_t{1} << 35);
    AppStateEnvironment environment{queue, executor, pasteboard};
    environment.cachesRoot = root / "caches";
    environment.applicationSupportDirectory = root / "support";
    environment.legacyApplicationSupportDirectory = root / "legacy";
    AppState state(settings, environment);
    state.updatePhotoArea({1400, 900}, 2);
    ImageLoader& loader = state.imageLoader();
    const auto settle = [&] {
        queue.serveUntil([&] {
            return state.screen() == AppScreen::select && loader.displayDecodeCount() == 0 &&
                   loader.neighbourPreparationCount() == 0 && !loader.isRenderingParameters();
        });
    };

    Figures figures;
    figures.startMB = residentMegabytes();
    state.open(root / "small");
    settle();
    figures.freshMB = residentMegabytes();

    state.open(root / "large");
    settle();
    std::vector<double> live, ratios, beyond;
    for (int step = 1; step < kLargeFolder; ++step) {
        state.move(1);
        settle();
        const double resident = residentMegabytes();
        const double held = static_cast<double>(loader.heldImageBytes()) / (1 << 20);
        figures.peakMB = std::max(figures.peakMB, resident);
        if (step < 20) continue; // the caches fill
        live.push_back(held);
        ratios.push_back(resident / held);
        beyond.push_back((resident - figures.startMB) / held);
    }
    figures.liveMB = median(live);
    figures.walkRatio = median(ratios);
    figures.beyondStart = median(beyond);
    figures.walkRatioMax = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());

    state.open(root / "small");
    settle();
    figures.afterMB = residentMegabytes();
    return figures;
}

void MemoryWalk(benchmark::State& state) {
    const bool lowMemory = state.range(0) != 0;
    const auto root =
        std::filesystem::temp_directory_path() / ("sorvin-memory-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    folderOf(root, "small", 3);
    folderOf(root, "large", kLargeFolder);
    Figures figures;
    for (auto _ : state) {
        // A process of its own, so that one mode's heap does not count in the other's figures.
        int channel[2];
        if (pipe(channel) != 0) state.SkipWithError("no pipe");
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            const Figures measured = walk(root, lowMemory);
            const ssize_t written = write(channel[1], &measured, sizeof measured);
            _exit(written == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
        }
        close(channel[1]);
        if (read(channel[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures))
            state.SkipWithError("the walk did not finish");
        close(channel[0]);
        waitpid(child, nullptr, 0);
    }
    std::filesystem::remove_all(root);
    state.counters["start_MB"] = figures.startMB;
    state.counters["fresh_MB"] = figures.freshMB;
    state.counters["live_MB"] = figures.liveMB;
    state.counters["walk_ratio"] = figures.walkRatio;
    state.counters["walk_ratio_max"] = figures.walkRatioMax;
    state.counters["walk_ratio_beyond_start"] = figures.beyondStart;
    state.counters["peak_MB"] = figures.peakMB;
    state.counters["after_MB"] = figures.afterMB;
    state.counters["after_minus_fresh_MB"] = figures.afterMB - figures.freshMB;
}
BENCHMARK(MemoryWalk)
    ->ArgName("low_memory")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
} // namespace sorvin
