// The file list while the cursor walks at the hold-to-advance rate: the presentation of one
// screenful of rows (what the list redraws per step) and the cheat sheet's labels, beside copying
// the same rows as the baseline.
#include "library/photo_library.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "platform/defaults_store.hpp"
#include "shell/command_cheat_sheet.hpp"
#include "shell/file_list_row_model.hpp"

#include <benchmark/benchmark.h>

namespace sorvin {
namespace {

constexpr int kPhotos = 5000;
constexpr int kScreenRows = 32;

// Five thousand photos, every third with a RAW companion, every fifth hearted and cropped.
std::unique_ptr<PhotoLibrary> largeLibrary() {
    std::vector<Photo> photos;
    PhotoLibraryRestoration restored;
    for (int i = 0; i < kPhotos; ++i) {
        Photo p;
        const std::string base = "2026/DSC_" + std::to_string(10000 + i);
        p.relativePath = base + ".JPG";
        p.url = "/photos/" + p.relativePath;
        p.pixelWidth = 6000;
        p.pixelHeight = 4000;
        if (i % 3 == 0) {
            p.rawCompanionURL = "/photos/" + base + ".NEF";
            p.rawCompanionRelativePath = base + ".NEF";
        }
        if (i % 5 == 0) {
            restored.hearts.insert(p.relativePath);
            restored.crops[p.relativePath] = ManualCrop{CropAspect::ratio(3, 2), 80, 500, 500};
            restored.rotations[p.relativePath] = -1.5;
        }
        photos.push_back(std::move(p));
    }
    return std::make_unique<PhotoLibrary>(std::move(photos), std::move(restored), PhotoSortKey::name, true);
}

void BM_ScreenfulOfRows(benchmark::State& state) {
    const auto library = largeLibrary();
    const auto& rows = library->visibleRows();
    int start = 0;
    for (auto _ : state) {
        for (int i = 0; i < kScreenRows; ++i)
            benchmark::DoNotOptimize(FileListRowModel::make(*library, rows[(start + i) % rows.size()]));
        start = (start + 1) % static_cast<int>(rows.size());
    }
    state.SetItemsProcessed(state.iterations() * kScreenRows);
}
BENCHMARK(BM_ScreenfulOfRows);

void BM_BaselineCopyScreenfulOfRows(benchmark::State& state) {
    const auto library = largeLibrary();
    const auto& rows = library->visibleRows();
    int start = 0;
    for (auto _ : state) {
        for (int i = 0; i < kScreenRows; ++i)
            benchmark::DoNotOptimize(PhotoListRow(rows[(start + i) % rows.size()]));
        start = (start + 1) % static_cast<int>(rows.size());
    }
    state.SetItemsProcessed(state.iterations() * kScreenRows);
}
BENCHMARK(BM_BaselineCopyScreenfulOfRows);

void BM_CheatSheetLabelsWithEightPresets(benchmark::State& state) {
    DefaultsStore defaults;
    ParameterPresetStore store(defaults);
    std::vector<ParameterPreset> presets(8);
    for (int i = 0; i < 8; ++i)
        presets[i].name = "プリセット" + std::to_string(i);
    store.save(presets);
    for (auto _ : state)
        benchmark::DoNotOptimize(CommandCheatSheet::visibleLabels(store));
}
BENCHMARK(BM_CheatSheetLabelsWithEightPresets);

} // namespace
} // namespace sorvin
