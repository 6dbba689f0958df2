// What telling the next export about each published file costs: one journal line flushed to disk
// (JournalAppend), beside the work it adds to, the flushed copy of an 8 MB photo into the
// destination (PhotoCopyBaseline), and beside the other way of telling, rewriting the whole
// manifest of a 2,000-photo destination for every file (ManifestRewrite). And what reading them
// back costs, hostile ones included (ManifestLoad, NestedLoad, below).
#include "export/export_manifest_journal.hpp"
#include "export/export_manifest_store.hpp"
#include "platform/output_file.hpp"

#include <benchmark/benchmark.h>
#include <fstream>
#include <random>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

// A fresh folder for the run, removed at the end.
struct Folder {
    Folder() : path(fs::temp_directory_path() / ("sorvin-journal-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

ExportManifestEntry entryFor(int i) {
    ExportManifestEntry entry;
    entry.srcSize = 8'000'000 + i;
    entry.srcMtime = 1'700'000'000'000 + i;
    entry.params = std::string(64, 'a');
    entry.outputs["jpeg"] = {"DSC_" + std::to_string(i) + ".jpg", 8'000'000 + i, 1'700'000'000'000 + i};
    entry.original = ExportManifestFileRecord{"originals/DSC_" + std::to_string(i) + ".NEF", 25'000'000, 1};
    return entry;
}

void PhotoCopyBaseline(benchmark::State& state) {
    const Folder folder;
    std::string bytes(8u << 20, '\0');
    std::mt19937_64 random(3);
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    std::ofstream(folder.path / "photo.jpg", std::ios::binary) << bytes;
    for (auto _ : state) {
        OutputFile::copyNew(folder.path / "photo.jpg", folder.path / "copy.jpg");
        state.PauseTiming();
        fs::remove(folder.path / "copy.jpg");
        state.ResumeTiming();
    }
}
BENCHMARK(PhotoCopyBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

void JournalAppend(benchmark::State& state) {
    const Folder folder;
    ExportManifestJournal journal("/Photos/out", folder.path);
    int i = 0;
    for (auto _ : state)
        journal.append("/Photos/DSC_" + std::to_string(i) + ".jpg", entryFor(i)), ++i;
    journal.remove();
}
BENCHMARK(JournalAppend)->Unit(benchmark::kMillisecond)->UseRealTime();

void ManifestRewrite(benchmark::State& state) {
    const Folder folder;
    ExportManifest manifest;
    manifest.folder = "/Photos/out";
    for (int i = 0; i < 2000; ++i)
        manifest.entries["/Photos/DSC_" + std::to_string(i) + ".jpg"] = entryFor(i);
    for (auto _ : state)
        ExportManifestStore::write(manifest, "/Photos/out", folder.path);
}
BENCHMARK(ManifestRewrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading a destination's manifest and journal before an export starts: a 2,000-photo manifest
// and a journal of as many lines (ManifestLoad), beside a manifest and a journal that are each
// 63 MB of '[' (NestedLoad), which must cost no more than a read of their bytes.
void writeLoadFiles(const fs::path& root, bool nested) {
    const fs::path destination = "/Photos/out";
    if (nested) {
        const std::string brackets(63u << 20, '[');
        std::ofstream(ExportManifestStore::manifestURL(destination, root)) << brackets;
        std::ofstream(ExportManifestStore::journalURL(destination, root)) << brackets << '\n';
        return;
    }
    ExportManifest manifest;
    manifest.folder = destination.string();
    for (int i = 0; i < 2000; ++i)
        manifest.entries["/Photos/DSC_" + std::to_string(i) + ".jpg"] = entryFor(i);
    ExportManifestStore::write(manifest, destination, root);
    std::ofstream journal(ExportManifestStore::journalURL(destination, root));
    for (int i = 0; i < 2000; ++i)
        journal << ExportManifestStore::journalLine(manifest.folder,
                                                    "/Photos/DSC_" + std::to_string(i) + ".jpg", entryFor(i));
}

void Load(benchmark::State& state, bool nested) {
    const Folder folder;
    writeLoadFiles(folder.path, nested);
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportManifestStore::load("/Photos/out", folder.path));
}
BENCHMARK_CAPTURE(Load, ManifestLoad, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Load, NestedLoad, true)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace sorvin
