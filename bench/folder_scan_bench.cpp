// Scanning a folder of 5,000+ photos (hard links, under names of their own, to the sample photos of
// jpeg/, heif/ and raw/, each about 140 times over): a cold scan that reads every file, a warm scan served by
// the scan cache, and as the baseline the exiv2 command-line tool reading the same files' capture dates. The
// corrupt samples stay out: a scan reads unreadable files again every time, by design.
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

fs::path samplesDir() {
    if (const char* overridden = std::getenv("SORVIN_SAMPLES"); overridden && *overridden) return overridden;
    return SORVIN_SAMPLES_DIR;
}

// The folder of photos, built once per run and removed at exit.
struct Corpus {
    fs::path root;
    fs::path photos;
    fs::path caches;
    std::vector<std::string> files;

    Corpus() {
        std::random_device seed;
        root = fs::temp_directory_path() / ("sorvin-bench-" + std::to_string(seed()));
        photos = root / "photos";
        caches = root / "caches";
        fs::create_directories(photos);
        std::vector<fs::path> samples;
        for (const char* kind : {"jpeg", "heif", "raw"})
            for (const auto& entry : fs::recursive_directory_iterator(samplesDir() / kind))
                if (entry.is_regular_file() && photoFileFormatFrom(entry.path()))
                    samples.push_back(entry.path());
        if (samples.empty()) return;
        // One flat folder, as a camera card or an import folder is: every name unique.
        const std::size_t copies = (minimumFiles + samples.size() - 1) / samples.size();
        for (std::size_t copy = 0; copy < copies; ++copy) {
            for (const fs::path& sample : samples) {
                const fs::path target =
                    photos / (std::to_string(10000 + files.size()) + "_" + sample.filename().string());
                std::error_code error;
                fs::create_hard_link(sample, target, error);
                if (error) fs::copy_file(sample, target);
                files.push_back(target.string());
            }
        }
    }
    ~Corpus() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
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
                argv.push_back(corpus().files[i].data());
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
