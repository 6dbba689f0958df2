// Scanning a folder of 5,000 photos (see dated_photo_folder.hpp: dated JPEG, HEIF and DNG samples
// with their capture dates rewritten, shot in bursts of a few photos per second): a cold scan that
// reads every file, a warm scan served by the scan cache, and as the baseline the exiv2
// command-line tool reading the same files' capture dates. The corrupt samples stay out: a scan
// reads unreadable files again every time, by design.
#include "sample_photos.hpp"
#include "dated_photo_folder.hpp"
#include "library/folder_scanner.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using namespace sorvin;
namespace fs = std::filesystem;

constexpr std::size_t minimumFiles = 5000;

using sorvin::bench::samplesDir;

struct Corpus {
    bench::DatedPhotoFolder folder{samplesDir(), minimumFiles};
    const fs::path& photos = folder.photos();
    const fs::path caches = folder.caches();
    const std::vector<std::string>& files = folder.files();
};

Corpus& corpus() {
    static Corpus instance;
    return instance;
}

ScanResult scanOnce() {
    return FolderScanner::scan(
        corpus().photos, true, [](std::size_t, std::size_t) {}, [] { return false; }, corpus().caches);
}

void reportFiles(benchmark::State& state) {
    state.counters["files"] = static_cast<double>(corpus().files.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus().files.size()));
}

void BM_ColdScan(benchmark::State& state) {
    if (corpus().files.size() < minimumFiles) return state.SkipWithError("no samples");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(corpus().caches);
        state.ResumeTiming();
        benchmark::DoNotOptimize(scanOnce());
    }
    reportFiles(state);
}
BENCHMARK(BM_ColdScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_WarmScan(benchmark::State& state) {
    if (corpus().files.size() < minimumFiles) return state.SkipWithError("no samples");
    scanOnce(); // fills the cache
    for (auto _ : state)
        benchmark::DoNotOptimize(scanOnce());
    reportFiles(state);
}
BENCHMARK(BM_WarmScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The parts of a warm scan, for finding where its time goes: the listing (a stat and a key per
// file), the cache's reading, and the final sort.
void BM_WarmScanListing(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(FolderScanner::candidates(corpus().photos, true));
}
BENCHMARK(BM_WarmScanListing)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WarmScanCacheRead(benchmark::State& state) {
    scanOnce();
    const fs::path root = FolderScanner::standardized(corpus().photos);
    const fs::path cacheFile = FolderScanner::scanCacheURL(root, corpus().caches);
    for (auto _ : state)
        benchmark::DoNotOptimize(FolderScanner::readCache(cacheFile, root.string()));
}
BENCHMARK(BM_WarmScanCacheRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WarmScanSort(benchmark::State& state) {
    const std::vector<Photo> photos = scanOnce().photos;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Photo> copy = photos;
        state.ResumeTiming();
        benchmark::DoNotOptimize(Photo::sorted(std::move(copy)));
    }
}
BENCHMARK(BM_WarmScanSort)->Unit(benchmark::kMillisecond)->UseRealTime();

// The exiv2 tool printing every file's DateTimeOriginal, a thousand files per invocation.
void BM_Exiv2ToolBaseline(benchmark::State& state) {
    if (corpus().files.size() < minimumFiles) return state.SkipWithError("no samples");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        for (std::size_t start = 0; start < corpus().files.size(); start += 1000) {
            std::vector<char*> argv = {
                const_cast<char*>("exiv2"), const_cast<char*>("-q"), const_cast<char*>("-g"),
                const_cast<char*>("Exif.Photo.DateTimeOriginal"), const_cast<char*>("-Pv")};
            for (std::size_t i = start; i < std::min(start + 1000, corpus().files.size()); ++i)
                argv.push_back(const_cast<char*>(corpus().files[i].c_str()));
            argv.push_back(nullptr);
            pid_t pid = 0;
            if (posix_spawnp(&pid, "exiv2", &actions, nullptr, argv.data(), environ) != 0)
                return state.SkipWithError("exiv2 tool not installed");
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    reportFiles(state);
}
BENCHMARK(BM_Exiv2ToolBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
