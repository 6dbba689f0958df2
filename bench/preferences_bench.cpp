// Preferences at start and on change: reading the preferences file with a full list of presets,
// loading the presets, and one change written through to disk (the write includes the flush), beside
// a memcpy of a buffer the size of the file as the baseline.
#include "persistence/app_settings.hpp"
#include "persistence/parameter_preset_store.hpp"
#include "persistence/preference_key.hpp"
#include "platform/atomic_file.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace sorvin {
namespace {

// Twenty presets of a dozen values each, half of them with a mask.
std::vector<ParameterPreset> fullPresetList() {
    std::vector<ParameterPreset> presets;
    for (int i = 0; i < 20; ++i) {
        PhotoParameters p(i % 2 == 0 ? std::vector<MaskKind>{MaskKind::circular()} : std::vector<MaskKind>{});
        for (int k = 0; k < 12; ++k)
            p.setValue((i + k) % 40 - 20, ParameterCatalog::allCases()[k * 3]);
        if (!p.masks.empty()) p.setValue(-30, PhotoParameter::exposure, ParameterEditTarget::mask(0));
        presets.push_back({"プリセット " + std::to_string(i), p, true});
    }
    return presets;
}

struct PreferencesFile {
    PreferencesFile() {
        folder = std::filesystem::temp_directory_path() / ("sorvin-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        file = folder / "preferences.json";
        DefaultsStore store(file);
        AppSettings settings(store, 8ull << 30);
        settings.presetStore().save(fullPresetList());
        store.set(PreferenceKey::recentFolders, DefaultsValue::List{"/photos/2026/a", "/photos/2026/b"});
        bytes = AtomicFile::read(file).size();
    }
    ~PreferencesFile() { std::filesystem::remove_all(folder); }
    std::filesystem::path folder;
    std::filesystem::path file;
    std::size_t bytes = 0;
};

void BM_OpenPreferences(benchmark::State& state) {
    PreferencesFile prefs;
    for (auto _ : state) {
        DefaultsStore store(prefs.file);
        benchmark::DoNotOptimize(store.object(PreferenceKey::presets));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prefs.bytes));
}
BENCHMARK(BM_OpenPreferences);

void BM_LoadPresets(benchmark::State& state) {
    PreferencesFile prefs;
    DefaultsStore store(prefs.file);
    ParameterPresetStore presets(store);
    for (auto _ : state)
        benchmark::DoNotOptimize(presets.load());
}
BENCHMARK(BM_LoadPresets);

void BM_SavePresetsToDisk(benchmark::State& state) {
    PreferencesFile prefs;
    DefaultsStore store(prefs.file);
    ParameterPresetStore presets(store);
    const auto list = fullPresetList();
    for (auto _ : state)
        presets.save(list);
}
BENCHMARK(BM_SavePresetsToDisk)->Unit(benchmark::kMicrosecond);

void BM_BaselineMemcpyOfTheFile(benchmark::State& state) {
    PreferencesFile prefs;
    std::vector<char> from(prefs.bytes, 'x'), to(prefs.bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prefs.bytes));
}
BENCHMARK(BM_BaselineMemcpyOfTheFile);

} // namespace
} // namespace sorvin
