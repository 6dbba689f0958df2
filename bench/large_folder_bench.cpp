// A folder of 50,000 photos beside one of 5,000 built the same way (hard links of the dated samples
// under names of their own, capture dates in bursts; see dated_photo_folder.hpp): the scan, cold and
// warm, which runs off the main thread with progress; then every main-thread step of going through
// the folder: building the library from the scan (the step before the first photo is shown),
// sorting by date and by name both ways, the heart filter on and off, a jump from the first photo
// to the last, and the record save after a heart. Goal: each main-thread step under 100 ms at
// 50,000 photos. The heap the library holds is reported for both sizes, to show it grows linearly.
#include "sample_photos.hpp"
#include "dated_photo_folder.hpp"
#include "library/folder_scanner.hpp"
#include "library/photo_library.hpp"
#include "persistence/selection_store.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <memory>

namespace {

using namespace sorvin;
namespace fs = std::filesystem;

using sorvin::bench::samplesDir;

bench::DatedPhotoFolder& folderOf(std::int64_t photos) {
    static std::map<std::int64_t, std::unique_ptr<bench::DatedPhotoFolder>> folders;
    auto& folder = folders[photos];
    if (!folder)
        folder = std::make_unique<bench::DatedPhotoFolder>(samplesDir(), static_cast<std::size_t>(photos));
    return *folder;
}

ScanResult scan(bench::DatedPhotoFolder& folder) {
    return FolderScanner::scan(
        folder.photos(), true, [](std::size_t, std::size_t) {}, [] { return false; }, folder.caches());
}

// The scanned photos of a folder, every tenth hearted in the restored record.
struct Scanned {
    std::vector<Photo> photos;
    PhotoLibraryRestoration restored;
};

const Scanned& scannedOf(std::int64_t photos) {
    static std::map<std::int64_t, Scanned> scanned;
    Scanned& entry = scanned[photos];
    if (entry.photos.empty()) {
        entry.photos = scan(folderOf(photos)).photos;
        for (std::size_t i = 0; i < entry.photos.size(); i += 10)
            entry.restored.hearts.insert(entry.photos[i].relativePath);
    }
    return entry;
}

std::unique_ptr<PhotoLibrary> libraryOf(std::int64_t photos) {
    const Scanned& scanned = scannedOf(photos);
    return std::make_unique<PhotoLibrary>(scanned.photos, scanned.restored, PhotoSortKey::date, true);
}

void BM_ColdScan(benchmark::State& state) {
    auto& folder = folderOf(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder.caches());
        state.ResumeTiming();
        benchmark::DoNotOptimize(scan(folder));
    }
}
BENCHMARK(BM_ColdScan)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_WarmScan(benchmark::State& state) {
    auto& folder = folderOf(state.range(0));
    scan(folder);
    for (auto _ : state)
        benchmark::DoNotOptimize(scan(folder));
}
BENCHMARK(BM_WarmScan)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The library built from the scan's photos and the restored record, as opening does on the main
// thread; the heap it holds (its photos included) is reported.
void BM_OpenLibrary(benchmark::State& state) {
    const Scanned& scanned = scannedOf(state.range(0));
    double megabytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::size_t before = ::mallinfo2().uordblks;
        std::vector<Photo> photos = scanned.photos;
        PhotoLibraryRestoration restored = scanned.restored;
        state.ResumeTiming();
        auto library =
            std::make_unique<PhotoLibrary>(std::move(photos), std::move(restored), PhotoSortKey::date, true);
        state.PauseTiming();
        megabytes = static_cast<double>(::mallinfo2().uordblks - before) / (1 << 20);
        library.reset();
        state.ResumeTiming();
    }
    state.counters["library_MB"] = megabytes;
    state.counters["bytes_per_photo"] = megabytes * (1 << 20) / static_cast<double>(scanned.photos.size());
}
BENCHMARK(BM_OpenLibrary)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each iteration one sort of the kind the second argument names (by date descending, by name
// ascending, by name descending), from the scan's order (by date ascending).
void BM_Sort(benchmark::State& state) {
    auto library = libraryOf(state.range(0));
    const std::pair<PhotoSortKey, bool> sorts[] = {
        {PhotoSortKey::date, false}, {PhotoSortKey::name, true}, {PhotoSortKey::name, false}};
    const auto [key, ascending] = sorts[state.range(1)];
    for (auto _ : state) {
        state.PauseTiming();
        library->applySort(PhotoSortKey::date, true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(library->applySort(key, ascending));
    }
}
BENCHMARK(BM_Sort)->ArgsProduct({{5000, 50000}, {0, 1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HeartFilter(benchmark::State& state) {
    auto library = libraryOf(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(library->toggleFilter());
}
BENCHMARK(BM_HeartFilter)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JumpFirstToLast(benchmark::State& state) {
    auto library = libraryOf(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        library->jumpToStart();
        state.ResumeTiming();
        library->jumpToEnd();
    }
}
BENCHMARK(BM_JumpFirstToLast)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A heart on the current photo, then the record written as the application saves it (the whole
// save, which the application does off the main thread).
void BM_SaveAfterHeart(benchmark::State& state) {
    auto library = libraryOf(state.range(0));
    auto& folder = folderOf(state.range(0));
    SelectionStore store(folder.photos(), folder.caches() / "support");
    for (auto _ : state) {
        library->toggleCurrentHeart();
        store.save(SelectionSaveValues::of(*library), std::chrono::system_clock::now());
    }
}
BENCHMARK(BM_SaveAfterHeart)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
