// The folder record of a large folder: building its text, reading a text back, and a whole save
// and load through the store (the save includes the flush to disk), beside a memcpy of a buffer
// the size of the text as the baseline.
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_record_encoder.hpp"
#include "persistence/selection_store.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <filesystem>
#include <fmt/format.h>
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
    const SelectionRecord record = folderRecord(static_cast<int>(state.range(0)));
    const std::set<std::string> hearts(record.hearts.begin(), record.hearts.end());
    Folder folder;
    for (auto _ : state) {
        SelectionStore store(folder.path / "photos", folder.path / "support");
        store.save(record.cursor, hearts, record.rotations, record.crops, record.brightness, record.params,
                   record.paramsRaw, record.sources, record.retouchesB, std::chrono::system_clock::now());
        const SelectionLoadResult loaded =
            SelectionStore(folder.path / "photos", folder.path / "support").load();
        benchmark::DoNotOptimize(loaded.params.size());
    }
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

BENCHMARK(encode)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(decode)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(saveAndLoad)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(memcpyBaseline)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace sorvin
