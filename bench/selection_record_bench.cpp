// The folder record of a large folder: building its text, reading a text back, and a whole save
// and load through the store (the save includes the flush to disk), beside a memcpy of a buffer
// the size of the text as the baseline. A save from the library as the application makes it: the
// main thread's share (copying the library's tables) beside the whole save, written in the
// background. And the load of a record of about 100 MB, a folder of
// some 20,000 photos each with every parameter edited, with the peak memory it takes, beside a
// plain read of the same file as the baseline. And one change saved into a record whose every
// photo notes when it was changed (stamps), beside the same save into the record without them, as
// the earlier version wrote it.
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_saver.hpp"
#include "persistence/selection_store.hpp"

#include "platform/atomic_file.hpp"
#include "../tests/support/selection_values.hpp"
#include "process_memory.hpp"
#include "served_main_queue.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvin {
namespace {

// A folder where every photo has a heart or an edit, like a shoot that has been gone through:
// a third hearted, a quarter rotated and cropped, half developed (a tenth with a mask), a tenth
// with a copy B.
SelectionRecord folderRecord(int photos) {
    SelectionRecord record;
    record.app = "Sorvin";
    record.updatedAt = "2026-12-07T09:05:03Z";
    for (int i = 0; i < photos; ++i) {
        const std::string path = fmt::format("day{}/IMG_{:04}.JPG", i / 500, i);
        if (i % 3 == 0) record.hearts.push_back(path);
        if (i % 4 == 0) {
            record.rotations[path] = (i % 7) - 3.5;
            record.crops[path] = ManualCrop{CropAspect::ratio(3, 2), 80, 500, 700};
        }
        if (i % 2 == 0) {
            PhotoParameters p(i % 10 == 0 ? std::vector<MaskKind>{MaskKind::circular()}
                                          : std::vector<MaskKind>{});
            p.setValue(i % 50, PhotoParameter::exposure);
            p.setValue(-20, PhotoParameter::contrast);
            p.setValue(15, PhotoParameter::shadows);
            p.setValue(10, PhotoParameter::vibrance);
            if (!p.masks.empty()) p.setValue(-30, PhotoParameter::exposure, ParameterEditTarget::mask(0));
            record.params[path] = p;
        }
        if (i % 10 == 5) {
            RetouchState copy;
            copy.heart = true;
            copy.rotation = 90;
            copy.params.setValue(-100, PhotoParameter::saturation);
            record.retouchesB[path] = copy;
        }
    }
    return SelectionRecord::normalized(record);
}

void encode(benchmark::State& state) {
    const SelectionRecord record = folderRecord(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = SelectionRecordEncoder::encode(record);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}

void decode(benchmark::State& state) {
    const std::string text = SelectionRecordEncoder::encode(folderRecord(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        const SelectionRecord record = SelectionRecordDecoder::decode(SelectionJSONValue::Json::parse(text));
        benchmark::DoNotOptimize(record.params.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}

struct Folder {
    Folder() {
        path = std::filesystem::temp_directory_path() / fmt::format("sorvin-bench-{}", ::getpid());
        std::filesystem::create_directories(path / "photos");
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void saveAndLoad(benchmark::State& state) {
    const SelectionSaveValues values = test::saveValuesOf(folderRecord(static_cast<int>(state.range(0))));
    Folder folder;
    for (auto _ : state) {
        SelectionStore store(folder.path / "photos", folder.path / "support");
        store.save(values, std::chrono::system_clock::now());
        const SelectionLoadResult loaded =
            SelectionStore(folder.path / "photos", folder.path / "support").load();
        benchmark::DoNotOptimize(loaded.params.size());
    }
}

// One heart changed, then one save through the store that read the record: of N photos, each
// stamped (as copies of this version leave a record once each photo was changed), or the same
// record as the earlier version wrote it, without stamps, as the baseline. Only the save is timed.
void saveOneChange(benchmark::State& state) {
    const int photos = static_cast<int>(state.range(0));
    const SelectionRecord record = folderRecord(photos);
    Folder folder;
    const auto photosFolder = folder.path / "photos";
    if (state.range(1) != 0) {
        SelectionStore writer(photosFolder, folder.path / "support");
        writer.load();
        writer.save(test::saveValuesOf(record), std::chrono::system_clock::now());
    } else {
        AtomicFile::write(photosFolder / "sorvin.json", SelectionRecordEncoder::encode(record));
    }
    SelectionStore store(photosFolder, folder.path / "support");
    SelectionSaveValues values = test::saveValuesOf(store.load());
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int i = static_cast<int>((static_cast<long long>(step++) * 7919) % photos);
        const std::string path = fmt::format("day{}/IMG_{:04}.JPG", i / 500, i);
        if (!values.hearts.erase(path)) values.hearts.insert(path);
        state.ResumeTiming();
        store.save(values, std::chrono::system_clock::now());
    }
    state.counters["record_MB"] = static_cast<double>(std::filesystem::file_size(store.primaryURL())) / 1e6;
}

void memcpyBaseline(benchmark::State& state) {
    const std::string text = SelectionRecordEncoder::encode(folderRecord(static_cast<int>(state.range(0))));
    std::string copy(text.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), text.data(), text.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size() * state.iterations()));
}

// Every parameter away from its default, globally and in four masks; RAW development values only
// where they are allowed.
PhotoParameters everyParameterEdited(bool allowsRawDevelopment) {
    PhotoParameters p({MaskKind::circular(), MaskKind::linear(), MaskKind::circular(), MaskKind::linear()});
    for (const PhotoParameter parameter : ParameterCatalog::allCases()) {
        if (ParameterCatalog::isRawDevelopmentParameter(parameter) && !allowsRawDevelopment) continue;
        const int edited = ParameterCatalog::maximum(parameter) == ParameterCatalog::defaultValue(parameter)
                               ? ParameterCatalog::minimum(parameter)
                               : ParameterCatalog::maximum(parameter);
        p.setValue(edited, parameter);
        for (int mask = 0; mask < 4; ++mask)
            p.setValue(edited, parameter, ParameterEditTarget::mask(mask));
    }
    return p;
}

// A folder where every photo has every parameter edited, for the JPEG and the RAW file, with a
// heart, a rotation and a crop; large enough for a record of about the given size.
SelectionRecord fullyEditedRecord(std::size_t bytes) {
    SelectionRecord record;
    record.app = "Sorvin";
    record.updatedAt = "2026-12-07T09:05:03Z";
    const PhotoParameters params = everyParameterEdited(false);
    const PhotoParameters paramsRaw = everyParameterEdited(true);
    const auto add = [&](int i) {
        const std::string path = fmt::format("day{}/IMG_{:05}.JPG", i / 500, i);
        record.hearts.push_back(path);
        record.rotations[path] = 2.5;
        record.crops[path] = ManualCrop{CropAspect::ratio(3, 2), 80, 500, 700};
        record.params[path] = params;
        record.paramsRaw[path] = paramsRaw;
    };
    add(0);
    const std::size_t perPhoto = SelectionRecordEncoder::encode(SelectionRecord::normalized(record)).size();
    for (int i = 1; static_cast<std::size_t>(i) * perPhoto < bytes; ++i)
        add(i);
    return SelectionRecord::normalized(record);
}

// A library of the given number of photos, each with a heart, a rotation, a crop and every
// parameter edited: for the JPEG file globally, a record of some 3.5 KB a photo like the 90 MB
// record of 24,000 photos of a real folder; or at the most, in four masks too and for the RAW file
// as well, some 14 KB a photo.
std::unique_ptr<PhotoLibrary> editedLibrary(int count, bool atTheMost) {
    std::vector<Photo> photos;
    PhotoLibraryRestoration restored;
    PhotoParameters params = everyParameterEdited(false);
    const PhotoParameters paramsRaw = everyParameterEdited(true);
    if (!atTheMost) params.masks.clear();
    for (int i = 0; i < count; ++i) {
        Photo photo;
        photo.relativePath = fmt::format("day{}/IMG_{:05}.JPG", i / 500, i);
        photo.url = "/photos/" + photo.relativePath;
        restored.hearts.insert(photo.relativePath);
        restored.rotations[photo.relativePath] = 2.5;
        restored.crops[photo.relativePath] = ManualCrop{CropAspect::ratio(3, 2), 80, 500, 700};
        restored.parameters[photo.relativePath] = params;
        if (atTheMost) restored.parametersRaw[photo.relativePath] = paramsRaw;
        photos.push_back(std::move(photo));
    }
    return std::make_unique<PhotoLibrary>(std::move(photos), std::move(restored), PhotoSortKey::name, true);
}

// The time of an iteration is the main thread's share: the copy of the library's values handed to
// the saver. "whole_ms" is the whole save, until its report is back on the main thread; against it,
// memcpyBaseline and encode above.
void saveFromLibrary(benchmark::State& state) {
    const auto library = editedLibrary(static_cast<int>(state.range(0)), state.range(1) != 0);
    Folder folder;
    auto store = std::make_shared<SelectionStore>(folder.path / "photos", folder.path / "support");
    store->load();
    bench::ServedMainQueue mainQueue;
    ThreadPoolExecutor executor;
    int reports = 0;
    bool written = true;
    SelectionSaver saver(mainQueue, executor, [&](const SelectionSaver::Result& result) {
        ++reports;
        written = written && !result.error;
    });
    double whole = 0;
    int edits = 0;
    for (auto _ : state) {
        // An edit between two saves, as there always is one: the photo's entries stop being shared
        // with the save before.
        const Photo& edited = library->photos()[static_cast<std::size_t>(edits++ * 7919) % library->photos().size()];
        PhotoParameters changed = library->parameters(edited, RetouchSlot::a, PhotoSource::jpeg);
        changed.setValue(edits % 100, PhotoParameter::exposure);
        library->setParameters(changed, edited.relativePath, RetouchSlot::a, PhotoSource::jpeg);
        const auto start = std::chrono::steady_clock::now();
        saver.save(store, SelectionSaveValues::of(*library), std::chrono::system_clock::now());
        const auto handedOver = std::chrono::steady_clock::now();
        const int expected = reports + 1;
        mainQueue.serveUntil([&] { return reports == expected; });
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(handedOver - start).count());
        whole += std::chrono::duration<double, std::milli>(end - start).count();
    }
    if (!written) state.SkipWithError("a save failed");
    state.counters["whole_ms"] = whole / static_cast<double>(state.iterations());
    state.counters["record_MB"] =
        static_cast<double>(std::filesystem::file_size(store->primaryURL())) / 1e6;
}

struct LoadFigures {
    double seconds = 0;
    double peakMB = 0;      // beyond the resident size before the load
    std::size_t photos = 0; // what the load gave; 0 when it failed
};

// Runs the step in a process of its own, so that neither the record built to write the file nor
// an earlier load lends the step memory the heap already holds.
LoadFigures inChildProcess(const std::function<LoadFigures()>& step) {
    LoadFigures figures;
    int channel[2];
    if (pipe(channel) != 0) return figures;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const LoadFigures measured = step();
        const ssize_t written = write(channel[1], &measured, sizeof measured);
        _exit(written == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
    }
    close(channel[1]);
    if (read(channel[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures)) figures = {};
    close(channel[0]);
    waitpid(child, nullptr, 0);
    return figures;
}

LoadFigures measured(const std::function<std::size_t()>& load) {
    bench::resetPeakResidentSize();
    const long before = bench::statusKilobytes("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    const std::size_t photos = load();
    LoadFigures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peakMB = static_cast<double>(bench::statusKilobytes("VmHWM:") - before) / 1024;
    figures.photos = photos;
    return figures;
}

// Writes the record of about the given size once, in a process of its own, through the store.
std::filesystem::path largeRecordFolder(std::size_t bytes) {
    static const Folder folder;
    const auto photos = folder.path / fmt::format("large-{}", bytes);
    if (!std::filesystem::exists(photos / "sorvin.json")) {
        std::filesystem::create_directories(photos);
        inChildProcess([&] {
            SelectionStore(photos, folder.path / "support")
                .save(test::saveValuesOf(fullyEditedRecord(bytes)), std::chrono::system_clock::now());
            return LoadFigures{};
        });
    }
    return photos;
}

// The slowest of the runs and the largest peak, each in a process of its own; what the last
// load gave (photos with edits, or bytes) is returned.
std::size_t measureLoads(benchmark::State& state, const std::filesystem::path& photos,
                         const std::function<std::size_t()>& load) {
    LoadFigures worst;
    for (auto _ : state) {
        const LoadFigures figures = inChildProcess([&] { return measured(load); });
        if (figures.photos == 0) {
            state.SkipWithError("the record did not load");
            return 0;
        }
        worst.seconds = std::max(worst.seconds, figures.seconds);
        worst.peakMB = std::max(worst.peakMB, figures.peakMB);
        worst.photos = figures.photos;
    }
    const auto recordBytes = std::filesystem::file_size(photos / "sorvin.json");
    state.counters["record_MB"] = static_cast<double>(recordBytes) / 1e6;
    state.counters["peak_MB"] = worst.peakMB;
    state.counters["load_s"] = worst.seconds;
    return worst.photos;
}

void loadLargeRecord(benchmark::State& state) {
    const auto photos = largeRecordFolder(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    const std::size_t edited = measureLoads(state, photos, [&] {
        const SelectionLoadResult loaded = SelectionStore(photos, photos.parent_path() / "support").load();
        return loaded.warning ? 0 : loaded.params.size();
    });
    state.counters["photos"] = static_cast<double>(edited);
}

void readLargeRecordBytes(benchmark::State& state) {
    const auto photos = largeRecordFolder(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    measureLoads(state, photos, [&] { return AtomicFile::read(photos / "sorvin.json", SIZE_MAX).size(); });
}

BENCHMARK(encode)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(decode)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(saveAndLoad)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(saveOneChange)
    ->ArgNames({"photos", "stamped"})
    ->Args({24000, 0})
    ->Args({24000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(memcpyBaseline)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(saveFromLibrary)->Args({20000, 0})->Args({20000, 1})->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(loadLargeRecord)->Arg(100)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(readLargeRecordBytes)->Arg(100)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace sorvin
