// A folder of crafted files, each a valid container that declares far more than its bytes hold
// (HEIF item locations with free extents, a pixel size past 64 bits, endless top-level boxes, TIFF
// values and sub-IFDs that many entries share, an EXIF item built the same way, a JPEG whose
// picture data end long before its sparse end, JPEG headers of many large or endless small
// segments), generated here and scanned cold beside a folder of as many sample photos. Each
// reports the time per file and the peak resident memory the scan added. Goal: the hostile folder
// no more than twice the sample folder's time per file, and its peak within 64 MB of the sample
// folder's.
#include "sample_photos.hpp"
#include "../tests/support/hostile_files.hpp"
#include "library/folder_scanner.hpp"
#include "process_memory.hpp"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace sorvin;
namespace fs = std::filesystem;
namespace hostile = sorvin::test::hostile;

constexpr std::size_t copiesPerClass = 24;

using sorvin::bench::samplesDir;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Both folders, built once per run and removed at exit. Copies are hard links under names of
// their own.
struct Folders {
    fs::path root, hostileFolder, sampleFolder, caches;
    std::size_t files = 0;
    std::vector<fs::path> made; // one file of each class

    Folders() {
        std::random_device seed;
        root = fs::temp_directory_path() / ("sorvin-bench-" + std::to_string(seed()));
        hostileFolder = root / "hostile";
        sampleFolder = root / "samples";
        caches = root / "caches";
        fs::create_directories(hostileFolder / "originals");
        fs::create_directories(sampleFolder);

        const std::string jpeg = contentOf(samplesDir() / "jpeg/canon_6d_adobergb_gps_lens.jpg");
        if (jpeg.empty()) return;
        const fs::path originals = hostileFolder / "originals";
        const std::pair<const char*, std::string> classes[] = {
            {"free_extents_small.heic", hostile::heifWithFreeExtents(16 << 10)},
            {"free_extents_large.heic", hostile::heifWithFreeExtents(512 << 10)},
            {"huge_size.heic", hostile::heifWithHugeSize()},
            {"many_boxes.heic", hostile::isoMediaWithManyBoxes(1 << 20)},
            {"many_boxes.cr3", hostile::isoMediaWithManyBoxes(1 << 20)},
            {"shared_values.dng", hostile::tiffWithSharedValues(4400 << 10)},
            {"sub_ifd_fan_out.dng", hostile::tiffWithSubIfdFanOut()},
            {"shared_values_exif.heic", hostile::heifWithSharedValuesExif(1 << 20)},
            {"large_segments.jpg", hostile::jpegWithManySegments(jpeg, 300, 0xFFFF + 2)},
            {"endless_segments.jpg", hostile::jpegWithManySegments(jpeg, 1100, 64)},
        };
        for (const auto& [name, bytes] : classes) {
            hostile::write(originals / name, bytes);
            made.push_back(originals / name);
        }
        hostile::writeSparse(originals / "cut_short.jpg", jpeg.substr(0, jpeg.size() / 2),
                             std::uintmax_t{1900} << 20);
        made.push_back(originals / "cut_short.jpg");

        std::vector<fs::path> samples;
        for (const char* kind : {"jpeg", "heif", "raw"})
            for (const auto& entry : fs::recursive_directory_iterator(samplesDir() / kind))
                if (entry.is_regular_file() && photoFileFormatFrom(entry.path()))
                    samples.push_back(entry.path());

        // The originals sit in a subfolder that the scan leaves out (subfolders off).
        const std::size_t count = made.size() * copiesPerClass;
        for (std::size_t i = 0; i < count; ++i) {
            const fs::path& file = made[i % made.size()];
            fs::create_hard_link(file, hostileFolder /
                                           (std::to_string(10000 + i) + "_" + file.filename().string()));
            const fs::path& sample = samples[i % samples.size()];
            fs::create_hard_link(sample, sampleFolder /
                                             (std::to_string(10000 + i) + "_" + sample.filename().string()));
        }
        files = count;
    }
    ~Folders() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Folders& folders() {
    static Folders instance;
    return instance;
}

// Cold scans of one folder: its cache removed before each, the peak resident memory reset before
// each and read after.
void scanCold(benchmark::State& state, const fs::path& folder) {
    if (folders().files == 0) return state.SkipWithError("no samples");
    double peakMegabytes = 0;
    double seconds = 0;
    std::size_t photos = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folders().caches);
        bench::resetPeakResidentSize();
        const long before = bench::statusKilobytes("VmRSS:");
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const ScanResult result = FolderScanner::scan(
            folder, false, [](std::size_t, std::size_t) {}, [] { return false; }, folders().caches);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        photos = result.photos.size();
        peakMegabytes = std::max(peakMegabytes, (bench::statusKilobytes("VmHWM:") - before) / 1024.0);
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(folders().files);
    state.counters["photos"] = static_cast<double>(photos);
    state.counters["peak_MB"] = peakMegabytes;
    state.counters["us_per_file"] = seconds * 1e6 / static_cast<double>(state.iterations() * folders().files);
}

// One file of each class read on its own, for finding which class costs what.
void BM_HostileClass(benchmark::State& state) {
    if (folders().files == 0) return state.SkipWithError("no samples");
    const fs::path& file = folders().made[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state)
        benchmark::DoNotOptimize(FolderScanner::metadata(file, file.filename().string()));
    state.SetLabel(file.filename().string());
}
BENCHMARK(BM_HostileClass)->DenseRange(0, 10)->Unit(benchmark::kMicrosecond);

void BM_SampleFolderColdScan(benchmark::State& state) {
    scanCold(state, folders().sampleFolder);
}
BENCHMARK(BM_SampleFolderColdScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_HostileFolderColdScan(benchmark::State& state) {
    scanCold(state, folders().hostileFolder);
}
BENCHMARK(BM_HostileFolderColdScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
